#include "skin/skin.h"

#include "base/files.h"
#include "skin/skin_parts.h"

std::vector<SkinFile> MakeSkin() {
  std::vector<SkinFile> files;
  AddToolbarImages(files);
  AddFrameImages(files);
  AddListImages(files);
  AddShareImages(files);
  AddButtonImages(files);
  AddScrollImages(files);
  AddWindowImages(files);
  AddUpdaterImages(files);
  AddSoundAndTemplates(files);
  return files;
}

bool WriteSkinFiles(const std::string& folder, const std::vector<SkinFile>& files,
                    std::string& error) {
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  for (const SkinFile& file : files) {
    std::string path = base + file.name;
    std::string old;
    // Same bytes: keep the file and its time, so nothing downstream rebuilds.
    if (ReadWholeFile(path, old) && old == file.bytes) continue;
    size_t slash = path.rfind('/');
    if (file.bytes.empty() ||
        (slash != std::string::npos && !MakeDirectories(path.substr(0, slash))) ||
        !WriteFileAtomic(path, file.bytes)) {
      error = path;
      return false;
    }
  }
  return true;
}
