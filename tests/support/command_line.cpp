#include "support/command_line.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

extern char** environ;

std::string VantrelctlPath() {
  const char* dir = std::getenv("VANTREL_PROGRAM_DIR");
  return std::string(dir ? dir : ".") + "/vantrelctl";
}

std::string RunShell(const std::string& command, int& status) {
  std::string out;
  status = -1;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int raw = pclose(pipe);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

int RunVantrelctl(const std::string& arguments) {
  int status = -1;
  RunShell(VantrelctlPath() + " " + arguments + " >/dev/null 2>&1", status);
  return status;
}

pid_t SpawnProgram(std::vector<std::string> argv, const posix_spawn_file_actions_t* actions) {
  if (argv.empty()) return -1;
  std::vector<char*> pointers;
  for (std::string& argument : argv) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, pointers[0], actions, nullptr, pointers.data(), environ) != 0) return -1;
  return pid;
}
