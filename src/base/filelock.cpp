#include "base/filelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "base/stoprequest.h"
#include "base/stringtable.h"

namespace {

std::atomic<std::chrono::milliseconds::rep> g_patienceMs{10000};

// One mutex per lock path for the threads of this process, which would
// otherwise only learn of each other through the flock and poll for it.
std::timed_mutex& ThreadsOf(const std::string& lockPath) {
  static std::mutex registryLock;
  static std::map<std::string, std::unique_ptr<std::timed_mutex>> registry;
  std::lock_guard hold(registryLock);
  std::unique_ptr<std::timed_mutex>& entry = registry[lockPath];
  if (!entry) entry = std::make_unique<std::timed_mutex>();
  return *entry;
}

bool TryFlock(int fd) {
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

std::chrono::milliseconds FileLockPatience() {
  return std::chrono::milliseconds(g_patienceMs.load());
}

void SetFileLockPatience(std::chrono::milliseconds patience) { g_patienceMs = patience.count(); }

FileLock::FileLock(const std::string& lockPath, Wait wait)
    : m_threads(ThreadsOf(lockPath), std::defer_lock) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  auto deadline = [&] {
    if (wait == Wait::kNotAtAll) return start;
    const Clock::duration grace = StopGraceLeft();
    const Clock::time_point patient = start + FileLockPatience();
    return grace == Clock::duration::max() ? patient : std::min(patient, Clock::now() + grace);
  };
  m_fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    // Threads of this process hold it only for the short work of a save;
    // one waiting for another process lets go of it between its tries.
    if (!m_threads.try_lock_until(std::max(deadline(), start + std::chrono::seconds(1)))) {
      m_busy = true;
      break;
    }
    if (m_fd < 0 || TryFlock(m_fd)) return;
    if (errno != EWOULDBLOCK) {
      // A file system without flock: the threads of this process still
      // take turns.
      close(m_fd);
      m_fd = -1;
      return;
    }
    m_threads.unlock();
    if (Clock::now() + pause > deadline()) {
      m_busy = true;
      m_holder = FlockHolder(lockPath);
      break;
    }
    // The other process's save takes milliseconds; a stopped one never ends.
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
}

FileLock::~FileLock() {
  if (m_fd >= 0) close(m_fd);
}

pid_t FlockHolder(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 0;
  FILE* locks = std::fopen("/proc/locks", "re");
  if (!locks) return 0;
  pid_t holder = 0;
  char line[512];
  // "1: FLOCK  ADVISORY  WRITE 1234 fd:01:5678 0 EOF"; waiters have "->".
  while (holder == 0 && std::fgets(line, sizeof line, locks)) {
    std::istringstream fields(line);
    std::string number, kind, advisory, mode, where;
    long pid = 0;
    if (!(fields >> number >> kind >> advisory >> mode >> pid >> where)) continue;
    if (kind != "FLOCK" || mode != "WRITE") continue;
    unsigned deviceMajor = 0, deviceMinor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%llu", &deviceMajor, &deviceMinor, &inode) != 3) continue;
    if (inode == st.st_ino && deviceMajor == major(st.st_dev) && deviceMinor == minor(st.st_dev) &&
        pid > 0)
      holder = static_cast<pid_t>(pid);
  }
  std::fclose(locks);
  return holder;
}

std::string FileHeldText(pid_t holder) {
  const std::string held = holder > 0 ? LoadString(IDS_FILE_HELD_BY) + std::to_string(holder)
                                      : LoadString(IDS_FILE_HELD);
  return held + LoadString(IDS_CHANGES_KEPT);
}
