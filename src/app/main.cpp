// Vantrel: the price tracker's window program.
#include <QApplication>

#include "app/vantrelapp.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // The window class (X11) and app id (Wayland) by which docks match the
  // window to its launcher (StartupWMClass of the desktop entry), whatever
  // name started the program.
  QApplication::setApplicationName(QStringLiteral("Vantrel"));
  QGuiApplication::setDesktopFileName(QStringLiteral("example.vantrel.Vantrel"));
  CVantrelApp::InstallGuiServices();
  CVantrelApp app;
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  return app.InitInstance(arguments);
}
