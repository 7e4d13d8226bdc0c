// vantrel-skin FOLDER: draws the program's images, sound and digit templates
// into FOLDER (the program directory). Run by the build.
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "skin/skin.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vantrel-skin FOLDER\n");
    return 2;
  }
  // Drawing needs fonts but no screen.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  std::string error;
  if (!WriteSkin(argv[1], error)) {
    std::fprintf(stderr, "vantrel-skin: cannot write %s\n", error.c_str());
    return 1;
  }
  return 0;
}
