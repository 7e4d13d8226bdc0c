#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// XmlDocument holds one XML document as a local-code-page text plus an index
// of its nodes and gives cursor-style read access to it. Every XML file the
// program keeps is read through it; nothing is written through it (writers
// concatenate text and pass each value through XmlEscape).
//
// Parsing is lenient, in the manner of an HTML reader: a start tag whose end
// tag never comes ends right after itself, a lone end tag is skipped, and both
// mark the document ill-formed, as do a document without an element and a
// root element with a sibling. The cursor can walk an ill-formed document.

// One entry of the node index. Nodes are numbered in document order; entry 0
// stands for the document itself. Comments, processing instructions and
// document type declarations are skipped and get no entry.
struct XmlNode {
  enum Type : uint8_t { kDocument, kElement, kText, kCData };
  enum Flags : uint8_t { kUnended = 1, kIllFormed = 2 };
  // Longer texts take several nodes in a row; longer names are cut.
  static constexpr uint32_t kMaxLength = (1u << 28) - 1;

  uint32_t start = 0;  // element: offset of "<"; text and CDATA: first character
  uint32_t parent = 0;
  uint32_t next = 0;    // next sibling, 0 for none
  uint32_t packed = 0;  // length, then flags in bits 28-29 and the type in bits 30-31

  // Element: length of the tag name; text and CDATA: length of the text.
  uint32_t Length() const { return packed & kMaxLength; }
  Type GetType() const { return static_cast<Type>(packed >> 30); }
  bool Has(Flags flag) const { return (packed >> 28) & flag; }
  void Set(Flags flag) { packed |= static_cast<uint32_t>(flag) << 28; }
  void Assign(Type type, uint32_t length) {
    packed = static_cast<uint32_t>(type) << 30 | (length & kMaxLength);
  }
};

class XmlDocument {
 public:
  // Which byte-order mark or 16-bit form the last loaded file had.
  enum DocFlags : int { kUtf8Mark = 1, kUtf16LE = 2, kUtf16BE = 4 };

  XmlDocument();

  // Replaces the document by `text` (local code page, no conversion) and
  // parses it; with no text the document becomes empty. Returns IsWellFormed.
  bool SetText(const char* text);
  bool SetText(std::string text);
  // Reads the file, detects and converts its encoding into the local code
  // page and parses it. False when the file can't be read or the result is not
  // well-formed.
  bool LoadFile(const std::string& path);
  // LoadFile for the bytes of a file already in memory.
  bool LoadFromMemory(const std::string& bytes);

  bool IsWellFormed() const { return m_wellFormed; }
  const std::string& GetText() const { return m_text; }
  int GetDocFlags() const { return m_docFlags; }
  // Notes of the last load and parse, as a small XML text (for diagnosis).
  const std::string& ResultLog() const { return m_log; }

  // Positions on the root first when there is no current element, then
  // searches the current element's children after the current child for the
  // first element named `name` (any element for nullptr).
  bool FindChildElement(const char* name = nullptr);
  // Searches the current level after the current element for the next element
  // named `name` (any for nullptr); it becomes the current element.
  bool FindElement(const char* name = nullptr);
  bool EnterElement();
  bool LeaveElement();
  // Text of the current child: references decoded, CDATA taken as it stands,
  // comments skipped; "" when it holds an element or there is no child.
  std::string GetChildText() const;
  // The same for the current element.
  std::string GetElementText() const;
  std::string GetTagName() const;
  std::string GetChildTagName() const;
  // Back to the top of the document.
  void ResetPosition();

  const std::vector<XmlNode>& Nodes() const { return m_nodes; }

 private:
  void Parse();
  std::string TextOf(uint32_t element) const;
  std::string NameOf(uint32_t element) const;
  bool NameIs(uint32_t node, const char* name, size_t length) const;
  uint32_t FirstChild(uint32_t node) const;
  uint32_t FindFrom(uint32_t parent, uint32_t after, const char* name) const;

  std::string m_text;
  std::vector<XmlNode> m_nodes;
  std::string m_log;
  int m_docFlags = 0;
  bool m_wellFormed = false;
  // The cursor: parent level (0 = top), current element and current child
  // (0 = none).
  uint32_t m_parent = 0;
  uint32_t m_current = 0;
  uint32_t m_child = 0;
};

// Replaces "&", "<", ">", "'" and "\"" by their entity references, the
// ampersand first so nothing is escaped twice.
std::string XmlEscape(std::string_view text);
// Decodes "&name;", "&#N;" and "&#xH;" into the local code page; a reference
// that is unknown, zero or has no local form stays as it stands.
std::string XmlUnescape(std::string_view text);
// Local code page to UTF-8.
std::string AnsiToUtf8(const std::string& ansi);
// Appends "<tag>value</tag>"; the value is written as given (escape it first).
void AppendXmlElement(std::string& xml, const char* tag, const std::string& value);
