#include "engine/browser_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

extern char** environ;

namespace {

// Process groups of running browsers, for the signal handler: 0 free, -1
// taken while starting, else the group. Renders are few at a time; the
// slots only have to outnumber them.
constexpr int kSlots = 16;
std::atomic<pid_t> g_groups[kSlots];
std::atomic<bool> g_cancelled{false};
volatile sig_atomic_t g_stopSignal = 0;

constexpr const char* kProfileStem = "vantrel-render-";
constexpr const char* kErrorOutput = "/stderr.log";

int TakeSlot() {
  for (int i = 0; i < kSlots; ++i) {
    pid_t free = 0;
    if (g_groups[i].compare_exchange_strong(free, -1)) return i;
  }
  return -1;
}

// Async-signal-safe. True when there was a group to end.
bool KillAllGroups() {
  bool any = false;
  for (auto& slot : g_groups) {
    const pid_t group = slot.load();
    if (group > 0) {
      kill(-group, SIGKILL);
      any = true;
    }
  }
  return any;
}

void OnStopSignal(int signal) {
  g_stopSignal = signal;
  g_cancelled.store(true);
  if (KillAllGroups()) return;
  // Nothing to clean up: the signal ends the process as it always did.
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigaction(signal, &action, nullptr);
  raise(signal);
}

int MillisecondsLeft(CBrowserProcess::Clock::time_point deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - CBrowserProcess::Clock::now());
  return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 1 << 30));
}

// Waits until `socket` is ready for `events`; false at the deadline.
bool WaitReady(int socket, short events, CBrowserProcess::Clock::time_point deadline) {
  for (;;) {
    const int wait = MillisecondsLeft(deadline);
    if (wait == 0) return false;
    pollfd ready{socket, events, 0};
    const int result = poll(&ready, 1, wait);
    if (result > 0) return true;
    if (result < 0 && errno != EINTR) return true;  // the next call reports it
  }
}

// The process group and the data segment (bytes) of process `pid`; false
// when it is gone.
bool ReadGroupAndData(const char* pid, pid_t& group, long long& dataBytes) {
  char path[64];
  char text[512];
  std::snprintf(path, sizeof path, "/proc/%s/stat", pid);
  const int statFd = open(path, O_RDONLY | O_CLOEXEC);
  if (statFd < 0) return false;
  const ssize_t n = read(statFd, text, sizeof text - 1);
  close(statFd);
  if (n <= 0) return false;
  text[n] = '\0';
  // The name may hold blanks and parentheses; the fields after it do not.
  const char* afterName = std::strrchr(text, ')');
  char state = 0;
  int parent = 0, processGroup = 0;
  if (!afterName || std::sscanf(afterName + 1, " %c %d %d", &state, &parent, &processGroup) != 3)
    return false;
  group = processGroup;
  std::snprintf(path, sizeof path, "/proc/%s/statm", pid);
  const int statmFd = open(path, O_RDONLY | O_CLOEXEC);
  if (statmFd < 0) return false;
  const ssize_t m = read(statmFd, text, sizeof text - 1);
  close(statmFd);
  if (m <= 0) return false;
  text[m] = '\0';
  long long size = 0, resident = 0, shared = 0, code = 0, library = 0, dataPages = 0;
  if (std::sscanf(text, "%lld %lld %lld %lld %lld %lld", &size, &resident, &shared, &code, &library,
                  &dataPages) != 6)
    return false;
  dataBytes = dataPages * sysconf(_SC_PAGESIZE);
  return true;
}

// The environment of the browser: the caller's, with the home and XDG
// folders inside the profile, so that nothing it writes outlives it.
std::vector<std::string> BrowserEnvironment(const std::string& profile) {
  static const char* const kMoved[] = {
      "HOME=", "XDG_CONFIG_HOME=", "XDG_CACHE_HOME=", "XDG_DATA_HOME="};
  std::vector<std::string> environment;
  for (char** entry = environ; entry && *entry; ++entry) {
    bool moved = false;
    for (const char* name : kMoved)
      moved = moved || std::strncmp(*entry, name, std::strlen(name)) == 0;
    if (!moved) environment.emplace_back(*entry);
  }
  for (const char* name : kMoved) environment.push_back(name + profile);
  return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// What the forked children run before exec: async-signal-safe calls only.
struct ChildSetup {
  pid_t parent;
  int socket;   // the browser's end of the DevTools socket
  int nullFd;   // /dev/null
  int errorFd;  // the error output file
  int pidFd;    // where the keeper writes the browser's pid
  rlim_t dataBytes;
  const char* program;
  char* const* argv;
  char* const* envp;
};

[[noreturn]] void ExecBrowser(const ChildSetup& setup, pid_t keeper) {
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != keeper) _exit(127);
  const rlimit data{setup.dataBytes, setup.dataBytes};
  setrlimit(RLIMIT_DATA, &data);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int signal : {SIGPIPE, SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
  }
  // Out of the way of 0 to 4 before those are filled.
  const int pipeFd = fcntl(setup.socket, F_DUPFD, 10);
  if (pipeFd < 0) _exit(127);
  dup2(setup.nullFd, 0);
  dup2(setup.nullFd, 1);
  dup2(setup.errorFd, 2);
  dup2(pipeFd, 3);
  dup2(pipeFd, 4);
  close_range(5, ~0U, 0);
  execve(setup.program, setup.argv, setup.envp);
  _exit(127);
}

// The keeper: the browser's parent, which adopts the processes the browser
// leaves behind and reaps every one of them, then ends. Waiting for it is
// waiting until the browser and all its processes are gone, without relying
// on the system's init to reap them (some take seconds to).
[[noreturn]] void RunKeeper(const ChildSetup& setup) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != setup.parent) _exit(127);
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  const rlimit core{0, 0};
  setrlimit(RLIMIT_CORE, &core);
  const pid_t self = getpid();
  const pid_t browser = _Fork();
  if (browser == 0) ExecBrowser(setup, self);
  if (browser < 0) _exit(127);
  setpgid(browser, browser);
  [[maybe_unused]] const ssize_t told = write(setup.pidFd, &browser, sizeof browser);
  // Holding no end of the socket, so that the parent sees the browser go.
  close_range(0, ~0U, 0);
  int status = 0;
  while (waitpid(-1, &status, 0) > 0 || errno == EINTR) {
  }
  _exit(0);
}

}  // namespace

CBrowserProcess::~CBrowserProcess() { Stop(); }

bool CBrowserProcess::Start(const std::string& program, std::vector<std::string> arguments,
                            int memoryMegabytes) {
  static std::once_flag swept;
  std::call_once(swept, [] { SweepStaleBrowserProfiles(); });
  if (g_cancelled || m_group > 0) return false;
  std::string folder = BrowserProfileParent() + "/" + BrowserProfilePrefix(getpid()) + "XXXXXX";
  if (!mkdtemp(folder.data())) return false;
  m_profile = folder;
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
    Stop();
    return false;
  }
  m_socket = sockets[0];
  fcntl(m_socket, F_SETFL, fcntl(m_socket, F_GETFL) | O_NONBLOCK);
  const int nullFd = open("/dev/null", O_RDWR | O_CLOEXEC);
  const int errorFd =
      open((m_profile + kErrorOutput).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  m_slot = TakeSlot();

  std::vector<std::string> argv;
  argv.push_back(program);
  for (std::string& argument : arguments) argv.push_back(std::move(argument));
  argv.push_back("--user-data-dir=" + m_profile);
  std::vector<std::string> environment = BrowserEnvironment(m_profile);
  std::vector<char*> argvPointers = Pointers(argv);
  std::vector<char*> envPointers = Pointers(environment);
  const rlim_t dataBytes = static_cast<rlim_t>(memoryMegabytes) << 20;

  int pidPipe[2] = {-1, -1};
  pid_t keeper = -1;
  if (nullFd >= 0 && errorFd >= 0 && m_slot >= 0 && pipe2(pidPipe, O_CLOEXEC) == 0) {
    const ChildSetup setup{getpid(),        sockets[1],          nullFd,
                           errorFd,         pidPipe[1],          dataBytes,
                           program.c_str(), argvPointers.data(), envPointers.data()};
    keeper = fork();
    if (keeper == 0) RunKeeper(setup);
    close(pidPipe[1]);
  }
  close(sockets[1]);
  if (nullFd >= 0) close(nullFd);
  if (errorFd >= 0) close(errorFd);
  pid_t browser = -1;
  if (keeper > 0) {
    m_keeper = keeper;
    ssize_t got = -1;
    do {
      got = read(pidPipe[0], &browser, sizeof browser);
    } while (got < 0 && errno == EINTR);
    if (got != sizeof browser) browser = -1;
  }
  if (pidPipe[0] >= 0) close(pidPipe[0]);
  if (browser <= 0) {
    Stop();
    return false;
  }
  m_group = browser;
  g_groups[m_slot].store(browser);
  // A quit that came while starting found no group to end.
  if (g_cancelled) {
    Stop();
    return false;
  }
  return true;
}

CBrowserProcess::Io CBrowserProcess::Write(const std::string& message, Clock::time_point deadline) {
  std::string bytes = message;
  bytes.push_back('\0');
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n =
        send(m_socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!WaitReady(m_socket, POLLOUT, deadline)) return Io::kTimedOut;
    } else {
      return Io::kClosed;
    }
  }
  return Io::kDone;
}

CBrowserProcess::Io CBrowserProcess::Read(std::string& message, Clock::time_point deadline,
                                          size_t maxBytes) {
  size_t searched = 0;
  for (;;) {
    const size_t end = m_buffer.find('\0', searched);
    if (end != std::string::npos) {
      message.assign(m_buffer, 0, end);
      m_buffer.erase(0, end + 1);
      return Io::kDone;
    }
    searched = m_buffer.size();
    if (m_buffer.size() > maxBytes) return Io::kTooLarge;
    char chunk[65536];
    const ssize_t n = recv(m_socket, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n > 0) {
      m_buffer.append(chunk, static_cast<size_t>(n));
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      SampleMemory();
      const auto until = std::min(deadline, m_nextSample);
      if (!WaitReady(m_socket, POLLIN, until) && Clock::now() >= deadline) return Io::kTimedOut;
    } else {
      return Io::kClosed;
    }
  }
}

// A process killed at the memory cap need not say so; what it held just
// before tells that death apart from other crashes.
void CBrowserProcess::SampleMemory() {
  if (m_group <= 0 || Clock::now() < m_nextSample) return;
  m_nextSample = Clock::now() + std::chrono::milliseconds(100);
  DIR* processes = opendir("/proc");
  if (!processes) return;
  while (dirent* entry = readdir(processes)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    pid_t group = 0;
    long long dataBytes = 0;
    if (ReadGroupAndData(entry->d_name, group, dataBytes) && group == m_group)
      m_peakDataBytes = std::max(m_peakDataBytes, dataBytes);
  }
  closedir(processes);
}

void CBrowserProcess::Stop() {
  if (m_group > 0) kill(-m_group, SIGKILL);
  m_group = -1;
  if (m_keeper > 0) {
    // The keeper ends once it has reaped the whole browser; a process that
    // left the group could hold it up, so it gets a bound.
    const auto giveUp = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(m_keeper, &status, WNOHANG)) == 0 && Clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (ended == 0) {
      kill(m_keeper, SIGKILL);
      while (waitpid(m_keeper, &status, 0) < 0 && errno == EINTR) {
      }
    }
    m_keeper = -1;
  }
  if (m_slot >= 0) g_groups[m_slot].store(0);
  m_slot = -1;
  if (m_socket >= 0) close(m_socket);
  m_socket = -1;
  m_buffer.clear();
  m_peakDataBytes = 0;
  m_nextSample = {};
  if (!m_profile.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_profile, ignored);
    m_profile.clear();
  }
}

std::string CBrowserProcess::ErrorOutputTail() const {
  if (m_profile.empty()) return std::string();
  const int fd = open((m_profile + kErrorOutput).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string();
  constexpr off_t kTail = 16384;
  const off_t size = lseek(fd, 0, SEEK_END);
  lseek(fd, size > kTail ? size - kTail : 0, SEEK_SET);
  std::string tail(static_cast<size_t>(std::min(size, kTail)), '\0');
  const ssize_t n = read(fd, tail.data(), tail.size());
  close(fd);
  tail.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return tail;
}

void CancelBrowsers() {
  g_cancelled = true;
  KillAllGroups();
}

bool BrowsersCancelled() { return g_cancelled; }

void InstallBrowserStopHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

void EndIfStopSignalled() {
  const int signal = g_stopSignal;
  if (signal == 0) return;
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigaction(signal, &action, nullptr);
  raise(signal);
}

std::string BrowserProfileParent() {
  // A folder in memory where there is one: the browser writes a profile
  // of some eighty files for every page, which a disk is slow to delete.
  const char* const folders[] = {std::getenv("XDG_RUNTIME_DIR"), "/dev/shm", std::getenv("TMPDIR")};
  for (const char* folder : folders)
    if (folder && *folder && access(folder, W_OK | X_OK) == 0) return folder;
  return "/tmp";
}

std::string BrowserProfilePrefix(pid_t pid) { return kProfileStem + std::to_string(pid) + "-"; }

int SweepStaleBrowserProfiles() {
  const std::string parent = BrowserProfileParent();
  DIR* dir = opendir(parent.c_str());
  if (!dir) return 0;
  const size_t stem = std::strlen(kProfileStem);
  int removed = 0;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, stem, kProfileStem) != 0) continue;
    const long pid = std::strtol(name.c_str() + stem, nullptr, 10);
    if (pid <= 0 || pid == getpid() || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
      continue;
    std::error_code ignored;
    if (std::filesystem::remove_all(parent + "/" + name, ignored) > 0) ++removed;
  }
  closedir(dir);
  return removed;
}
