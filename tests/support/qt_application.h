#pragma once

#include <QApplication>

// The one QApplication of a Qt test program, made on first use on the test
// thread (GoogleTest runs every test on the main thread).
inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "vantrel_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}
