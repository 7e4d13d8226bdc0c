#include "tools/command.h"

#include <cstdio>
#include <iostream>
#include <iterator>

#include "base/files.h"
#include "engine/tasklist.h"

namespace {
std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace

bool RegisterCommand(const Command& command) {
  Registry().push_back(command);
  return true;
}

const std::vector<Command>& Commands() { return Registry(); }

bool ReadInput(const std::string& name, std::string& bytes) {
  if (!name.empty() && name != "-") return ReadWholeFile(name, bytes);
  bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  return true;
}

bool TakeValue(const std::vector<std::string>& args, size_t& i, std::string& value) {
  if (i + 1 >= args.size()) {
    std::fprintf(stderr, "vantrelctl: %s needs a value\n", args[i].c_str());
    return false;
  }
  value = args[++i];
  return true;
}

void PrintTasksUnreadable(const CTaskList& tasks, const std::string& path, const char* command) {
  const std::string aside = tasks.SetAsideFile();
  std::fprintf(stderr, "vantrelctl%s%s: %s can't be read", *command ? " " : "", command,
               path.c_str());
  if (!aside.empty()) std::fprintf(stderr, "; the old list is kept in %s", aside.c_str());
  std::fprintf(stderr, "\n");
}
