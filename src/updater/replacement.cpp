#include "updater/replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

CReplacementFile::CReplacementFile(std::string localName)
    : m_localName(std::move(localName)), m_upgName(m_localName + ".upg") {}

CReplacementFile::~CReplacementFile() { Discard(); }

bool CReplacementFile::Open() {
  Discard();
  mode_t mode = 0644;
  struct stat existing;
  if (stat(m_localName.c_str(), &existing) == 0) mode = existing.st_mode & 07777;
  m_fd = open(m_upgName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (m_fd < 0) return false;
  // The umask must not take bits away from what the old file had.
  if (fchmod(m_fd, mode) != 0) {
    Discard();
    return false;
  }
  return true;
}

bool CReplacementFile::Write(const char* data, size_t size) {
  while (size > 0 && m_fd >= 0) {
    ssize_t written = write(m_fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return m_fd >= 0;
}

bool CReplacementFile::Commit() {
  if (m_fd < 0) return false;
  bool ok = fsync(m_fd) == 0;
  ok = close(m_fd) == 0 && ok;
  m_fd = -1;
  ok = ok && std::rename(m_upgName.c_str(), m_localName.c_str()) == 0;
  if (!ok) std::remove(m_upgName.c_str());
  return ok;
}

void CReplacementFile::Discard() {
  if (m_fd < 0) return;
  close(m_fd);
  m_fd = -1;
  std::remove(m_upgName.c_str());
}
