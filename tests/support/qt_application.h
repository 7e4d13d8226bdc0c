#pragma once

#include <functional>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

// The one QApplication of a Qt test program, made on first use on the test
// thread (GoogleTest runs every test on the main thread).
inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "vantrel_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Runs the event loop until `done` holds; false when `timeoutMs` passed.
inline bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}
