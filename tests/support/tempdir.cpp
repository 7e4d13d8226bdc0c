#include "support/tempdir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TempDir::TempDir(bool asProgramDirectory) : m_isHome(asProgramDirectory) {
  // TMPDIR names the disk to work on (benchmarks compare a real disk with
  // tmpfs); /tmp without it.
  const char* root = std::getenv("TMPDIR");
  std::string pattern = std::string(root && *root ? root : "/tmp") + "/vantrel-test-XXXXXX";
  const char* made = mkdtemp(pattern.data());
  m_path = std::string(made ? made : "/tmp") + "/";
  if (m_isHome) {
    if (const char* old = std::getenv("VANTREL_HOME")) {
      m_hadHome = true;
      m_oldHome = old;
    }
    setenv("VANTREL_HOME", m_path.c_str(), 1);
  }
}

TempDir::~TempDir() {
  if (m_isHome) {
    if (m_hadHome) setenv("VANTREL_HOME", m_oldHome.c_str(), 1);
    else unsetenv("VANTREL_HOME");
  }
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

void TempDir::Write(const std::string& relative, const std::string& bytes) const {
  std::filesystem::path path(File(relative));
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string TempDir::Read(const std::string& relative) const {
  std::ifstream in(File(relative), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}
