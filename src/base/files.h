#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

// Small file helpers shared by every unit that reads or writes the program's
// files.

bool FileExists(const std::string& path);

// What tells one version of a file from another: a save renames or swaps a
// new file in, so the inode changes even when size and times do not (file
// times are only as fine as the kernel's tick).
struct FileStamp {
  bool exists = false;
  uint64_t device = 0, inode = 0, size = 0;
  int64_t mtimeNs = 0, ctimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& path);
// Size in bytes, or -1 when the file does not exist.
int64_t FileSize(const std::string& path);
// The bytes of a regular file of at most kMaxWholeFileBytes; false (and
// nothing) for anything else: a missing file, a device, a FIFO, a folder.
inline constexpr uint64_t kMaxWholeFileBytes = uint64_t{1} << 30;
// A file that changes while it is read (a writer swapped it and wrote into
// the old one) is read again; `stamp`, when given, is the version read.
bool ReadWholeFile(const std::string& path, std::string& bytes, FileStamp* stamp = nullptr);

// Writes the bytes to a temporary file in the same folder and renames it over
// `path`, so that a crash or a full disk never leaves a half-written file.
// The new file keeps the mode of the file it replaces; a new file gets `mode`.
bool WriteFileAtomic(const std::string& path, const std::string& bytes, mode_t mode = 0644);
// WriteFileAtomic for a file the user named (an export): a new file gets
// 0666 less the umask, a regular file keeps its mode. Unless `force`, a
// symbolic link, a FIFO, a device, a folder or a read-only file is not
// replaced: false, with `problem` saying which ("is a symbolic link" ...).
bool WriteUserFile(const std::string& path, const std::string& bytes, bool force,
                   std::string& problem);
// Replaces the file's bytes without a new file for each write, for files
// written often: the bytes go into the file's spare (SpareFilePath, made
// once) and the two are swapped in one step, so a reader finds the old file
// or the new one whole and a writer killed halfway leaves the file as it
// was; the spare then holds the previous version. A missing file is made as
// WriteFileAtomic makes it; a file system that can't swap gets a rename. The
// caller keeps other writers of the file out (FileLock).
bool WriteFileSwapped(const std::string& path, const std::string& bytes);
std::string SpareFilePath(const std::string& path);
// WriteFileAtomic for a file of secrets: readable by its owner only (0600),
// also when the file it replaces was readable by others.
bool WritePrivateFileAtomic(const std::string& path, const std::string& bytes);

// Before a file that exists but could not be read is first overwritten, a
// copy is kept as path + ".bad" (an older copy is not replaced).
void KeepAside(const std::string& path);

// The text with every "\\", "/", control character and NUL made "_", for a
// file name built from outside data: the result names one file inside the
// folder it is put in (ProgramFile turns "\\" into "/"). Other bytes stay.
std::string SafeFileName(std::string name);

// The longest stem kept as it is for a file named after outside data: with
// ".xml" and WriteFileAtomic's temporary suffix (".tmp", a pid of up to 7
// digits, "_", a counter of up to 10) it stays within the 255 bytes a Linux
// file system allows, so every name that could always be written stays.
inline constexpr size_t kMaxFileStemBytes = 229;
// A longer stem is cut to this, leaving room for set-aside suffixes too.
inline constexpr size_t kShortenedStemBytes = 200;
// The name itself when it is at most kMaxFileStemBytes long; otherwise its
// head (cut between GBK characters) followed by "~" and the 16 hex digits of
// a 64-bit FNV-1a hash of the whole name, kShortenedStemBytes at most: stable
// from run to run, so a long name always names the same file.
std::string BoundedFileStem(const std::string& name);

bool DeleteFile(const std::string& path);
// Creates the folder and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);
// The same for folders of the program directory, which hold the account and
// cookies: each folder made is readable by its owner only (0700); folders
// already there keep their mode.
bool MakePrivateDirectories(const std::string& path);
