// vantrel-skin FOLDER: draws the program's images, sound and digit templates
// into FOLDER (the program directory). vantrel-skin --icons FOLDER: draws the
// desktop icons into FOLDER, a hicolor icon theme folder. Run by the build.
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "skin/skin.h"

int main(int argc, char** argv) {
  const bool icons = argc == 3 && std::string(argv[1]) == "--icons";
  if (argc != 2 && !icons) {
    std::fprintf(stderr, "usage: vantrel-skin [--icons] FOLDER\n");
    return 2;
  }
  // Drawing needs fonts but no screen.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  std::string error;
  if (!WriteSkinFiles(argv[argc - 1], icons ? MakeDesktopIcons() : MakeSkin(), error)) {
    std::fprintf(stderr, "vantrel-skin: cannot write %s\n", error.c_str());
    return 1;
  }
  return 0;
}
