#pragma once

#include <string>

// The new copy of a program file, written beside it as name + ".upg" and
// renamed over it only when complete, so that an interrupted download never
// leaves a half-written program file. The new copy takes the permissions of
// the file it replaces (a program stays executable).
class CReplacementFile {
 public:
  explicit CReplacementFile(std::string localName);
  // Removes an unfinished ".upg" copy.
  ~CReplacementFile();
  CReplacementFile(const CReplacementFile&) = delete;
  CReplacementFile& operator=(const CReplacementFile&) = delete;

  // Creates (truncates) the ".upg" copy; false when it cannot be written.
  bool Open();
  bool Write(const char* data, size_t size);
  // Flushes the copy and renames it over the file in one step.
  bool Commit();
  // Closes and removes the copy; the file stays as it was.
  void Discard();

  const std::string& UpgName() const { return m_upgName; }

 private:
  std::string m_localName;
  std::string m_upgName;
  int m_fd = -1;
};
