#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

// One run of the headless browser as a bounded child process: its own process
// group (ended as a whole), its own temporary profile folder (removed with
// it), a cap on the data segment of every process it starts, and one socket
// to its DevTools pipe (its fds 3 and 4) carrying messages that end in a
// zero byte. Should this process die without cleaning up, the browser is
// killed with it and its own processes end when the socket closes.
class CBrowserProcess {
 public:
  using Clock = std::chrono::steady_clock;

  CBrowserProcess() = default;
  // Stop().
  ~CBrowserProcess();
  CBrowserProcess(const CBrowserProcess&) = delete;
  CBrowserProcess& operator=(const CBrowserProcess&) = delete;

  // Starts `program` with `arguments` (after argv[0]); "--user-data-dir=" and
  // the profile folder are added. False when the folder, the socket or the
  // process could not be made, or CancelBrowsers() was called.
  bool Start(const std::string& program, std::vector<std::string> arguments, int memoryMegabytes);

  enum class Io { kDone, kTimedOut, kClosed, kTooLarge };
  // Sends one message (the zero byte is added).
  Io Write(const std::string& message, Clock::time_point deadline);
  // The next message, at most `maxBytes` long.
  Io Read(std::string& message, Clock::time_point deadline, size_t maxBytes);

  // Ends every process of the group, waits until they are gone and removes
  // the profile folder. Safe to call more than once.
  void Stop();

  // The end of what the browser wrote to its standard error (it is kept in
  // the profile folder while the browser runs).
  std::string ErrorOutputTail() const;

  // The largest data segment, in bytes, that one of the browser's processes
  // was seen holding while Read() waited (sampled every tenth of a second).
  long long PeakDataBytes() const { return m_peakDataBytes; }

 private:
  pid_t m_keeper = -1;  // the browser's parent, a child of ours (see RunKeeper)
  pid_t m_group = -1;   // the browser's process group
  int m_socket = -1;
  int m_slot = -1;
  std::string m_profile;
  std::string m_buffer;
  long long m_peakDataBytes = 0;
  Clock::time_point m_nextSample{};

  void SampleMemory();
};

// Ends every browser process group this process started and refuses new
// ones: the program is quitting.
void CancelBrowsers();
bool BrowsersCancelled();

// SIGTERM, SIGINT and SIGHUP end the browsers first. With no browser
// running the signal acts as it did before; otherwise the renders fail and
// clean up, and EndIfStopSignalled() then ends the process with the signal.
void InstallBrowserStopHandlers();
void EndIfStopSignalled();

// Removes the profile folders of processes that no longer run (a program
// killed outright leaves its folder behind). Returns how many went.
int SweepStaleBrowserProfiles();
// The folder that holds the profile folders, and the prefix of their names
// for this process ("vantrel-render-<pid>-").
std::string BrowserProfileParent();
std::string BrowserProfilePrefix(pid_t pid);
