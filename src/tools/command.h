#pragma once

#include <string>
#include <vector>

// A subcommand of vantrelctl. Each lives in its own cmd_*.cpp file and
// registers itself with VANTREL_COMMAND; `vantrelctl --help` lists them all.
struct Command {
  const char* name;
  const char* usage;  // the argument line, e.g. "[--flags N] PATTERN [FILE]"
  const char* help;   // what it does and what it prints, one or more lines
  int (*run)(const std::vector<std::string>& args);  // exit status
};

bool RegisterCommand(const Command& command);
const std::vector<Command>& Commands();

#define VANTREL_COMMAND(id, ...) \
  static const bool id##_registered = RegisterCommand(Command{__VA_ARGS__})

// Reads a whole file, or standard input for "-" or an empty name.
bool ReadInput(const std::string& name, std::string& bytes);

// Reads the value after an option such as "--flags N"; false (with a message
// on stderr) when it is missing.
bool TakeValue(const std::vector<std::string>& args, size_t& i, std::string& value);

class CTaskList;
// The error line of a command whose tasks.xml could not be read, naming the
// file that now holds the old list when it was moved aside.
void PrintTasksUnreadable(const CTaskList& tasks, const std::string& path, const char* command);
