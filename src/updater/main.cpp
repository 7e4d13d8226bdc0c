#include <string>
#include <vector>

#include <QApplication>

#include "controls/qttranslation.h"
#include "updater/messagedlg.h"
#include "updater/updaterdlg.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  InstallQtChineseTranslation();
  InstallUpdaterMessageHandler();
  return RunUpdater(std::vector<std::string>(argv + 1, argv + argc));
}
