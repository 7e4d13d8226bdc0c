#pragma once

#include <string>
#include <vector>

// The program's own skin: every image, the change sound and the price digit
// templates, drawn from code. Needs a QGuiApplication (fonts).

struct SkinFile {
  std::string name;  // relative to the program directory, "/"-separated
  std::string bytes;
};

// Every file, in a fixed order; the same bytes on every run.
std::vector<SkinFile> MakeSkin();

// The application icon for the desktop's menus, in the usual sizes of the
// hicolor theme: "<n>x<n>/apps/vantrel.png". The same mark as the tray icon.
std::vector<SkinFile> MakeDesktopIcons();

// Writes the files under `folder`, leaving files that already hold the same
// bytes untouched. On failure `error` names the file.
bool WriteSkinFiles(const std::string& folder, const std::vector<SkinFile>& files,
                    std::string& error);
inline bool WriteSkin(const std::string& folder, std::string& error) {
  return WriteSkinFiles(folder, MakeSkin(), error);
}
