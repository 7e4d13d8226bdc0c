#pragma once

#include <string>

// A fresh folder under $TMPDIR (else /tmp) that is removed with everything in
// it when the object goes; with `asProgramDirectory` it is also VANTREL_HOME
// meanwhile.
class TempDir {
 public:
  explicit TempDir(bool asProgramDirectory = false);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, with a trailing "/".
  const std::string& Path() const { return m_path; }
  std::string File(const std::string& relative) const { return m_path + relative; }
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;

 private:
  std::string m_path;
  bool m_isHome;
  std::string m_oldHome;
  bool m_hadHome = false;
};
