#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/command_line.h"
#include "support/tempdir.h"

// A copy of a system program started under another file name, as the main
// program would run; ended and reaped when the object goes.
class RunningCopy {
 public:
  // Copies `program` to folder/`name` and starts it with `arguments`.
  RunningCopy(const TempDir& folder, const std::string& name, const std::string& program,
              std::vector<std::string> arguments) {
    std::string path = folder.File(name);
    std::string command = "cp " + program + " '" + path + "'";
    if (std::system(command.c_str()) != 0) return;
    chmod(path.c_str(), 0755);
    arguments.insert(arguments.begin(), path);
    m_pid = SpawnProgram(arguments);
  }
  ~RunningCopy() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
  RunningCopy(const RunningCopy&) = delete;
  RunningCopy& operator=(const RunningCopy&) = delete;

  pid_t Pid() const { return m_pid; }

  // Whether it still runs (a zombie has ended); reaps it once it has.
  bool Running() {
    if (m_pid <= 0) return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == 0) return true;
    m_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    m_pid = -1;
    return false;
  }
  // The signal that ended it, once Running() has seen it end.
  int EndSignal() const { return m_signal; }

 private:
  pid_t m_pid = -1;
  int m_signal = 0;
};
