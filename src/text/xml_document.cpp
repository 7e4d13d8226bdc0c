// XmlDocument: loading, and the cursor over the node index.
#include <cerrno>
#include <cstring>
#include <limits>

#include "base/files.h"
#include "text/xml.h"
#include "text/xml_encoding.h"
#include "text/xml_log.h"

XmlDocument::XmlDocument() { m_nodes.push_back(XmlNode{}); }

bool XmlDocument::SetText(const char* text) { return SetText(std::string(text ? text : "")); }

bool XmlDocument::SetText(std::string text) {
  m_log.clear();
  m_docFlags = 0;
  m_text = std::move(text);
  if (m_text.size() >= std::numeric_limits<uint32_t>::max()) m_text.clear();
  Parse();
  return m_wellFormed;
}

bool XmlDocument::LoadFile(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    int error = errno;
    SetText(nullptr);
    XmlNote(m_log, "file_error").Text("msg", std::strerror(error));
    return false;
  }
  return LoadFromMemory(bytes);
}

bool XmlDocument::LoadFromMemory(const std::string& bytes) {
  m_log.clear();
  m_text.clear();
  // Offsets in the node index are 32 bits wide; a larger text is refused.
  if (bytes.size() >= std::numeric_limits<uint32_t>::max()) {
    XmlNote(m_log, "file_error").Text("msg", "file too large").Number("length", bytes.size());
    m_docFlags = 0;
    Parse();
    return false;
  }
  XmlDecodeResult decoded = DecodeXmlBytes(bytes, m_log);
  m_docFlags = decoded.docFlags;
  m_text = std::move(decoded.text);
  if (m_text.size() >= std::numeric_limits<uint32_t>::max()) m_text.clear();
  Parse();
  return m_wellFormed;
}

void XmlDocument::ResetPosition() { m_parent = m_current = m_child = 0; }

uint32_t XmlDocument::FirstChild(uint32_t node) const {
  // Nodes are numbered in document order, so a first child directly follows
  // its parent.
  uint32_t next = node + 1;
  return next < m_nodes.size() && m_nodes[next].parent == node ? next : 0;
}

bool XmlDocument::NameIs(uint32_t node, const char* name, size_t length) const {
  const XmlNode& n = m_nodes[node];
  return n.Length() == length && std::memcmp(m_text.data() + n.start + 1, name, length) == 0;
}

uint32_t XmlDocument::FindFrom(uint32_t parent, uint32_t after, const char* name) const {
  size_t length = name ? std::strlen(name) : 0;
  uint32_t node = after ? m_nodes[after].next : FirstChild(parent);
  for (; node; node = m_nodes[node].next)
    if (m_nodes[node].GetType() == XmlNode::kElement && (!name || NameIs(node, name, length)))
      return node;
  return 0;
}

bool XmlDocument::FindChildElement(const char* name) {
  if (!m_current) {
    m_current = FindFrom(m_parent, 0, nullptr);
    if (!m_current) return false;
  }
  uint32_t found = FindFrom(m_current, m_child, name);
  if (!found) return false;
  m_child = found;
  return true;
}

bool XmlDocument::FindElement(const char* name) {
  uint32_t found = FindFrom(m_parent, m_current, name);
  if (!found) return false;
  m_current = found;
  m_child = 0;
  return true;
}

bool XmlDocument::EnterElement() {
  if (!m_current) return false;
  m_parent = m_current;
  m_current = m_child;
  m_child = 0;
  return true;
}

bool XmlDocument::LeaveElement() {
  if (!m_parent) return false;
  m_child = m_current;
  m_current = m_parent;
  m_parent = m_nodes[m_parent].parent;
  return true;
}

std::string XmlDocument::TextOf(uint32_t element) const {
  uint32_t child = FirstChild(element);
  if (!child) return "";
  const XmlNode& only = m_nodes[child];
  if (!only.next && only.GetType() == XmlNode::kText)
    return XmlUnescape(std::string_view(m_text.data() + only.start, only.Length()));
  std::string text;
  for (; child; child = m_nodes[child].next) {
    const XmlNode& n = m_nodes[child];
    std::string_view piece(m_text.data() + n.start, n.Length());
    if (n.GetType() == XmlNode::kElement) return "";
    text += n.GetType() == XmlNode::kText ? XmlUnescape(piece) : std::string(piece);
  }
  return text;
}

std::string XmlDocument::NameOf(uint32_t element) const {
  if (!element) return "";
  const XmlNode& n = m_nodes[element];
  return m_text.substr(n.start + 1, n.Length());
}

std::string XmlDocument::GetChildText() const { return m_child ? TextOf(m_child) : ""; }
std::string XmlDocument::GetElementText() const { return m_current ? TextOf(m_current) : ""; }
std::string XmlDocument::GetTagName() const { return NameOf(m_current); }
std::string XmlDocument::GetChildTagName() const { return NameOf(m_child); }
