#include <string>
#include <vector>

#include <QApplication>

#include "updater/messagedlg.h"
#include "updater/updaterdlg.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  InstallUpdaterMessageHandler();
  return RunUpdater(std::vector<std::string>(argv + 1, argv + argc));
}
