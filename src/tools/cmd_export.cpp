// vantrelctl export and import: the task list in and out as JSON or CSV.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/files.h"
#include "base/outputfield.h"
#include "base/programdir.h"
#include "engine/tasklist.h"
#include "services/taskexport.h"
#include "tools/command.h"

namespace {

// tasks.xml of the program directory; a missing file is an empty list, an
// unreadable one an error.
bool LoadTaskFile(CTaskList& tasks, const char* command) {
  const std::string path = ProgramFile("tasks.xml");
  if (!FileExists(path) || tasks.LoadTasks(path, "", "", nullptr, CTaskList::Unreadable::kLeave))
    return true;
  PrintTasksUnreadable(tasks, path, command);
  return false;
}

int RunExport(const std::vector<std::string>& args) {
  std::string format = "json";
  std::string file;
  bool force = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--format") {
      if (!TakeValue(args, i, format)) return 2;
    } else if (args[i] == "--force") {
      force = true;
    } else if (file.empty() && (args[i] == "-" || args[i].rfind("-", 0) != 0)) {
      file = args[i];
    } else {
      std::fprintf(stderr, "usage: vantrelctl export [--format json|csv] [--force] [FILE]\n");
      return 2;
    }
  }
  if (format != "json" && format != "csv") {
    std::fprintf(stderr, "vantrelctl export: --format is json or csv\n");
    return 2;
  }
  CTaskList tasks;
  if (!LoadTaskFile(tasks, "export")) return 1;
  const std::vector<ExportedTask> exported = CollectExportedTasks(tasks, format == "json");
  const std::string text = format == "json" ? ExportJson(exported) : ExportCsv(exported);
  if (file.empty() || file == "-") {
    // A terminal would run the control sequences a product name may carry;
    // a pipe or file gets the exact bytes.
    const std::string shown = isatty(STDOUT_FILENO) ? TerminalSafeText(text) : text;
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    return 0;
  }
  std::string problem;
  if (!WriteUserFile(file, text, force, problem)) {
    std::fprintf(stderr, "vantrelctl export: %s %s\n", file.c_str(), problem.c_str());
    return 1;
  }
  return 0;
}

int RunImport(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: vantrelctl import FILE\n");
    return 2;
  }
  std::string bytes;
  if (!ReadInput(args[0], bytes)) {
    std::fprintf(stderr, "vantrelctl import: can't read %s\n", args[0].c_str());
    return 1;
  }
  std::vector<ExportedTask> imported;
  std::string error;
  if (!ReadExportedTasks(bytes, imported, error)) {
    std::fprintf(stderr, "vantrelctl import: %s: %s; nothing was added\n", args[0].c_str(),
                 error.c_str());
    return 1;
  }
  CTaskList tasks;
  if (!LoadTaskFile(tasks, "import")) return 1;
  const ImportOutcome outcome = ImportExportedTasks(
      imported, tasks, [&tasks](const TaskPtr& task) { return tasks.AddTask(task); });
  if (!tasks.SaveTasks(ProgramFile("tasks.xml"))) {
    std::fprintf(stderr, "vantrelctl import: tasks.xml can't be written; nothing was added\n");
    return 1;
  }
  // In the file's order, as the list took or refused them.
  for (size_t i = 0; i < imported.size(); ++i) {
    const std::string link = LocalOutputField(imported[i].values.url);
    if (outcome.taken[i])
      std::printf("added\t%s\t%s\n", link.c_str(),
                  LocalOutputField(imported[i].values.productName).c_str());
    else
      std::printf("skipped\t%s\n", link.c_str());
  }
  return 0;
}

}  // namespace

VANTREL_COMMAND(export_, "export", "[--format json|csv] [--force] [FILE]",
                "Writes every task of tasks.xml to FILE (default: standard output): link,\n"
                "shop, name, product id, picture, price, currency, stock, target, least\n"
                "drop, frequency, tracking switches, last update and the goto link, under\n"
                "their tasks.xml names. JSON (the default) also carries each task's price\n"
                "history and reads back to the same tasks and histories; CSV is UTF-8 with\n"
                "a byte-order mark and RFC 4180 quoting, one task per line, for\n"
                "spreadsheets (no histories); a cell that starts with =, +, -, @, TAB or CR\n"
                "(after any \"'\") gets one \"'\" more, which import takes away again.\n"
                "FILE \"-\" is standard output (on a terminal, control characters other\n"
                "than TAB, CR and LF are shown escaped as vantrelctl --help says). FILE is\n"
                "replaced as a whole (a new file gets the umask's mode); a symbolic link,\n"
                "FIFO, device or read-only file is replaced only with --force.\n"
                "Exit status 1 when tasks.xml can't be read or FILE can't be written.",
                RunExport);

VANTREL_COMMAND(import, "import", "FILE",
                "Adds the tasks of a file written by `vantrelctl export` (JSON or CSV) to\n"
                "tasks.xml, with their price histories, and prints \"added<TAB>LINK<TAB>NAME\"\n"
                "or \"skipped<TAB>LINK\" (already tracked) per task. A damaged file adds\n"
                "nothing: the error names its line (CSV, JSON syntax) or entry.\n"
                "Exit status 1 for a damaged file or when tasks.xml can't be read or\n"
                "written.",
                RunImport);
