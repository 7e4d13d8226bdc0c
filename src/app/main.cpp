// Vantrel: the price tracker's window program.
#include <QApplication>

#include "app/vantrelapp.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  CVantrelApp::InstallGuiServices();
  CVantrelApp app;
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  return app.InitInstance(arguments);
}
