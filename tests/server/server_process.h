#pragma once

// A vantrel-server started as its own process on 127.0.0.1 and any free
// port, ended (SIGTERM, then SIGKILL) and reaped when the object goes.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/command_line.h"

class ServerProcess {
 public:
  // `program` is the vantrel-server executable; "--host 127.0.0.1 --port 0"
  // come before `arguments`.
  ServerProcess(const std::string& program, std::vector<std::string> arguments) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> all = {program, "--host", "127.0.0.1", "--port", "0"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    // Its request log would drown the test's own output.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    m_pid = SpawnProgram(all, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    m_output = out[0];
    if (m_pid > 0) m_port = ReadPort();
  }
  ~ServerProcess() {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      for (int i = 0; i < 250 && waitpid(m_pid, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (kill(m_pid, 0) == 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
      }
    }
    if (m_output >= 0) close(m_output);
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // The port it listens on, or -1 when it did not start.
  int Port() const { return m_port; }
  pid_t Pid() const { return m_pid; }
  // Ends it at once, as a crash or an operator's kill -9 would.
  void Kill() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }
  // What it printed before it listened (for a failing test's message).
  const std::string& Output() const { return m_text; }

 private:
  // The port of the first line, "vantrel-server: http://127.0.0.1:PORT/ ...".
  int ReadPort() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      const size_t end = m_text.find('\n');
      if (end != std::string::npos) {
        const std::string marker = "127.0.0.1:";
        const size_t at = m_text.find(marker);
        return at < end ? std::atoi(m_text.c_str() + at + marker.size()) : -1;
      }
      pollfd wait{m_output, POLLIN, 0};
      if (poll(&wait, 1, 200) <= 0) continue;
      char buffer[512];
      const ssize_t got = read(m_output, buffer, sizeof buffer);
      if (got <= 0) return -1;
      m_text.append(buffer, static_cast<size_t>(got));
    }
    return -1;
  }

  pid_t m_pid = -1;
  int m_output = -1;
  int m_port = -1;
  std::string m_text;
};
