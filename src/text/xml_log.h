#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One note of XmlDocument::ResultLog: an empty element named after the note,
// with its attributes, closed when the note goes out of scope. Once the log
// holds 1000 characters further notes are dropped, so a hostile document
// cannot make it grow without bound.
class XmlNote {
 public:
  XmlNote(std::string& log, const char* name);
  ~XmlNote();
  XmlNote(const XmlNote&) = delete;
  XmlNote& operator=(const XmlNote&) = delete;

  XmlNote& Text(const char* attribute, std::string_view value);
  XmlNote& Number(const char* attribute, uint64_t value);

  // True when a note would still be recorded.
  static bool HasRoom(const std::string& log);

 private:
  std::string* m_log;
};
