#pragma once

#include <string>

// The folder every file of the program lives in, with a trailing "/":
// - the folder named by VANTREL_HOME, when set;
// - in the installed layout (the executable in the bin/ or lib/vantrel/
//   folder of a prefix that holds share/vantrel/), the per-user folder
//   $XDG_DATA_HOME/vantrel/ (~/.local/share/vantrel/ by default);
// - otherwise the folder of the running executable (a build tree or an
//   unpacked portable folder).
// In the installed layout the first call of a process creates the folder
// (mode 0700) and copies into it the run-time files of share/vantrel/ that
// it lacks; files already there are never overwritten.
std::string ProgramDirectory();

// ProgramDirectory() + relative, with any "\" in relative turned into "/" so
// that names written the Windows way still resolve.
std::string ProgramFile(const std::string& relative);

// True when the running executable lies in the installed layout.
bool IsInstalledLayout();

// The full path of one of the programs ("Vantrel", "update"): in the portable
// layout ProgramFile(name); in the installed layout the prefix's bin/ folder,
// or lib/vantrel/ for the updater, since the package's executables never live
// in the per-user folder.
std::string ProgramExecutable(const std::string& name);

// The pieces the functions above are made of, open to tests.
struct ProgramLayout {
  std::string executableDir;  // the running executable's folder, "/"-terminated
  std::string prefix;         // installed layout: holds bin/, lib/vantrel/, share/vantrel/;
                              // empty in the portable layout
  bool Installed() const { return !prefix.empty(); }
  std::string DataDir() const { return prefix + "share/vantrel/"; }
};

// Looks at the disk: installed when `executableDir` ends in "bin/" or
// "lib/vantrel/" and the prefix above it has a share/vantrel/ folder.
ProgramLayout DetectProgramLayout(const std::string& executableDir);

// The program directory for a layout and the values of VANTREL_HOME,
// XDG_DATA_HOME and HOME (null when unset). A relative XDG_DATA_HOME is
// ignored, as the XDG rules ask.
std::string ChooseProgramDirectory(const ProgramLayout& layout, const char* vantrelHome,
                                   const char* xdgDataHome, const char* home);

// ProgramExecutable for a given layout and program directory.
std::string ExecutablePath(const ProgramLayout& layout, const std::string& programDir,
                           const std::string& name);

// Creates `programDir` (0700, parents too) and copies every file of
// `dataDir` that programDir lacks, sub-folders included. False when the
// folder can't be made or a file can't be copied; what was copied stays.
bool FillProgramDirectory(const std::string& dataDir, const std::string& programDir);
