#include "text/xml_log.h"

#include "text/xml.h"

namespace {
constexpr size_t kLogLimit = 1000;
}

bool XmlNote::HasRoom(const std::string& log) { return log.size() < kLogLimit; }

XmlNote::XmlNote(std::string& log, const char* name) : m_log(HasRoom(log) ? &log : nullptr) {
  if (!m_log) return;
  *m_log += '<';
  *m_log += name;
}

XmlNote::~XmlNote() {
  if (m_log) *m_log += "/>";
}

XmlNote& XmlNote::Text(const char* attribute, std::string_view value) {
  if (!m_log) return *this;
  // A tag name or message could be long; the note only needs its start.
  constexpr size_t kMaxValue = 100;
  *m_log += ' ';
  *m_log += attribute;
  *m_log += "=\"";
  *m_log += XmlEscape(value.substr(0, kMaxValue));
  *m_log += '"';
  return *this;
}

XmlNote& XmlNote::Number(const char* attribute, uint64_t value) {
  if (!m_log) return *this;
  *m_log += ' ';
  *m_log += attribute;
  *m_log += "=\"";
  *m_log += std::to_string(value);
  *m_log += '"';
  return *this;
}
