#pragma once

#include <QGuiApplication>

// Drawing needs a QGuiApplication (fonts, image plugins); no widgets.
inline QGuiApplication& TestGuiApplication() {
  static int argc = 1;
  static char name[] = "skin_tests";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  return *app;
}
