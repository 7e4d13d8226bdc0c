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

// Writes the skin under `folder`, leaving files that already hold the same
// bytes untouched. On failure `error` names the file.
bool WriteSkin(const std::string& folder, std::string& error);
