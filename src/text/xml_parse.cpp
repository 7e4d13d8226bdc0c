// The lenient tokenizer and tree builder behind XmlDocument::SetText.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/xml.h"
#include "text/xml_log.h"

namespace {

// Character classes looked up by byte, for the loops that run over every
// character of a tag.
enum : uint8_t { kNameStart = 1, kNameEnd = 2, kTagStop = 4 };

constexpr std::array<uint8_t, 256> kClasses = [] {
  std::array<uint8_t, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80)
      classes[c] |= kNameStart;
  }
  for (unsigned char c : {' ', '\t', '\r', '\n', '/', '>'}) classes[c] |= kNameEnd;
  for (unsigned char c : {'>', '"', '\''}) classes[c] |= kTagStop;
  return classes;
}();

bool Is(char c, uint8_t what) { return kClasses[static_cast<unsigned char>(c)] & what; }
bool IsNameStart(char c) { return Is(c, kNameStart); }
bool IsNameEnd(char c) { return Is(c, kNameEnd); }

bool StartsWith(const char* p, const char* end, std::string_view prefix) {
  return static_cast<size_t>(end - p) >= prefix.size() &&
         std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

bool StartsWithNoCase(const char* p, const char* end, std::string_view prefix) {
  if (static_cast<size_t>(end - p) < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = p[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

const char* Find(const char* from, const char* end, std::string_view what) {
  if (from >= end) return nullptr;
  return static_cast<const char*>(
      memmem(from, static_cast<size_t>(end - from), what.data(), what.size()));
}

const char* FindChar(const char* from, const char* end, char c) {
  if (from >= end) return nullptr;
  return static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(end - from)));
}

// Builds the node index of a text in one pass. The open elements are a stack
// of their own, so the depth of the document never reaches the call stack.
// While an element is open, its `next` field (always 0 for the last child of
// the open parent) holds its last child so far.
class Parser {
 public:
  Parser(const std::string& text, std::vector<XmlNode>& nodes, std::string& log)
      : m_begin(text.data()), m_end(text.data() + text.size()), m_nodes(nodes), m_log(log) {}

  // True when nothing was found ill-formed.
  bool Run() {
    m_nodes.clear();
    m_nodes.reserve(EstimatedNodes());
    m_nodes.push_back(XmlNode{});
    m_open.push_back(0);
    const char* p = m_begin;
    while (p < m_end) p = *p == '<' ? Markup(p) : Text(p);
    CloseUnended(0);
    m_nodes[0].next = 0;
    CheckRoot();
    if (m_illFormed) m_nodes[0].Set(XmlNode::kIllFormed);
    return !m_illFormed;
  }

 private:
  uint32_t Offset(const char* p) const { return static_cast<uint32_t>(p - m_begin); }

  std::string_view NameOf(uint32_t node) const {
    return std::string_view(m_begin + m_nodes[node].start + 1, m_nodes[node].Length());
  }

  uint32_t Append(XmlNode::Type type, const char* start, size_t length) {
    if (m_nodes.size() == m_nodes.capacity()) Grow(start);
    uint32_t index = static_cast<uint32_t>(m_nodes.size());
    uint32_t parent = m_open.back();
    XmlNode& node = m_nodes.emplace_back();
    node.start = Offset(start);
    node.parent = parent;
    node.Assign(type, static_cast<uint32_t>(std::min<size_t>(length, XmlNode::kMaxLength)));
    uint32_t last = m_nodes[parent].next;
    if (last) m_nodes[last].next = index;
    m_nodes[parent].next = index;
    return index;
  }

  // Text and CDATA longer than a node can say take several nodes in a row.
  void AppendText(XmlNode::Type type, const char* start, size_t length) {
    do {
      size_t piece = std::min<size_t>(length, XmlNode::kMaxLength);
      Append(type, start, piece);
      start += piece;
      length -= piece;
    } while (length > 0);
  }

  // Markup starts at a "<", and in the usual document a text run goes with
  // every element, whose start and end tag take two: so about one node per
  // "<". Counting them is cheap next to growing the index more than once.
  size_t EstimatedNodes() const {
    size_t count = 8;
    for (const char* p = m_begin; (p = FindChar(p, m_end, '<')); ++p) ++count;
    // A text made of "<" alone must not reserve far more than it will use.
    size_t length = static_cast<size_t>(m_end - m_begin);
    return std::clamp(count, length / 64 + 8, length / 8 + 8);
  }

  // Grows the index by half, or to what the part of the text read so far
  // suggests the whole will need, whichever is more.
  void Grow(const char* at) {
    size_t size = m_nodes.size();
    size_t read = static_cast<size_t>(at - m_begin) + 1;
    size_t projected = static_cast<size_t>(static_cast<double>(size) *
                                           static_cast<double>(m_end - m_begin) / read * 1.05);
    m_nodes.reserve(std::max(size + size / 2, projected));
  }

  void MarkIllFormed(uint32_t node) {
    m_nodes[node].Set(XmlNode::kIllFormed);
    m_illFormed = true;
  }

  // A run of character data up to the next markup. A "<" that starts no
  // markup stays part of the text.
  const char* Text(const char* p) {
    const char* start = p;
    for (;;) {
      const char* lt = FindChar(p, m_end, '<');
      if (!lt) {
        p = m_end;
        break;
      }
      if (StartsMarkup(lt)) {
        p = lt;
        break;
      }
      XmlNote(m_log, "first_tag_syntax").Number("offset", Offset(lt));
      p = lt + 1;
    }
    AppendText(XmlNode::kText, start, static_cast<size_t>(p - start));
    return p;
  }

  bool StartsMarkup(const char* lt) const {
    if (m_end - lt < 2) return false;
    char c = lt[1];
    if (c == '!' || c == '?' || IsNameStart(c)) return true;
    return c == '/' && m_end - lt >= 3 && IsNameStart(lt[2]);
  }

  const char* Markup(const char* p) {
    if (!StartsMarkup(p)) return Text(p);
    char c = p[1];
    if (c == '/') return EndTag(p);
    if (c == '?') return Skip(p, Find(p + 2, m_end, "?>"), 2, "unterminated_tag_syntax");
    if (c == '!') return Declaration(p);
    return StartTag(p);
  }

  // Skips a construct that ends with `close` (at `end`), or the rest of the
  // text with a note when it never ends.
  const char* Skip(const char* p, const char* end, size_t closeLength, const char* note) {
    if (end) return end + closeLength;
    XmlNote(m_log, note).Number("offset", Offset(p)).Number("offset2", Offset(m_end));
    return m_end;
  }

  const char* Declaration(const char* p) {
    if (StartsWith(p, m_end, "<!--"))
      return Skip(p, Find(p + 4, m_end, "-->"), 3, "comment_tag_syntax");
    if (StartsWith(p, m_end, "<![CDATA[")) {
      const char* start = p + 9;
      const char* end = Find(start, m_end, "]]>");
      if (!end) XmlNote(m_log, "cdata_section_syntax").Number("offset", Offset(p));
      AppendText(XmlNode::kCData, start, static_cast<size_t>((end ? end : m_end) - start));
      return end ? end + 3 : m_end;
    }
    if (StartsWith(p, m_end, "<!["))
      return Skip(p, FindChar(p, m_end, '>'), 1, "cdata_section_syntax");
    if (StartsWithNoCase(p, m_end, "<!DOCTYPE")) return Doctype(p);
    XmlNote(m_log, "exclamation_tag_syntax").Number("offset", Offset(p));
    return Skip(p, FindChar(p, m_end, '>'), 1, "unterminated_tag_syntax");
  }

  // A document type declaration, whose internal subset in brackets may hold
  // ">" of its own.
  const char* Doctype(const char* p) {
    const char* gt = FindChar(p, m_end, '>');
    const char* bracket = FindChar(p, gt ? gt : m_end, '[');
    if (bracket) {
      const char* close = FindChar(bracket, m_end, ']');
      gt = close ? FindChar(close, m_end, '>') : nullptr;
    }
    return Skip(p, gt, 1, "doctype_tag_syntax");
  }

  // The ">" that ends a tag, passing over quoted attribute values; a quote
  // that never closes is taken as a plain character. Each quote character can
  // fail to close only once per document, so this stays linear.
  const char* TagEnd(const char* p) const {
    while (p < m_end) {
      char c = *p;
      if (!Is(c, kTagStop)) {
        ++p;
        continue;
      }
      if (c == '>') return p;
      const char* close = FindChar(p + 1, m_end, c);  // c is a quote
      if (!close) return FindChar(p + 1, m_end, '>');
      p = close + 1;
    }
    return nullptr;
  }

  const char* Unterminated(const char* p) {
    XmlNote(m_log, "unterminated_tag_syntax").Number("offset", Offset(p));
    AppendText(XmlNode::kText, p, static_cast<size_t>(m_end - p));
    return m_end;
  }

  const char* StartTag(const char* p) {
    const char* name = p + 1;
    const char* q = name;
    while (q < m_end && !IsNameEnd(*q)) ++q;
    const char* gt = TagEnd(q);
    if (!gt) return Unterminated(p);
    uint32_t node = Append(XmlNode::kElement, p, static_cast<size_t>(q - name));
    if (gt[-1] != '/' || gt - 1 < q) Open(node);
    return gt + 1;
  }

  const char* EndTag(const char* p) {
    const char* name = p + 2;
    const char* q = name;
    while (q < m_end && !IsNameEnd(*q)) ++q;
    const char* gt = FindChar(q, m_end, '>');
    if (!gt) return Unterminated(p);
    Close(std::string_view(name, static_cast<size_t>(q - name)), p);
    return gt + 1;
  }

  void Open(uint32_t node) {
    if (m_indexed) m_depthsByName[NameOf(node)].push_back(static_cast<uint32_t>(m_open.size()));
    m_open.push_back(node);
  }

  void Pop() {
    uint32_t node = m_open.back();
    if (m_indexed) m_depthsByName[NameOf(node)].pop_back();
    m_nodes[node].next = 0;
    m_open.pop_back();
  }

  // The depth of the innermost open element with this name, 0 for none. The
  // index by name is built only once an end tag fails to match the innermost
  // element, so well-formed documents never pay for it.
  size_t OpenDepth(std::string_view name) {
    if (!m_indexed) {
      for (size_t depth = 1; depth < m_open.size(); ++depth)
        m_depthsByName[NameOf(m_open[depth])].push_back(static_cast<uint32_t>(depth));
      m_indexed = true;
    }
    auto it = m_depthsByName.find(name);
    return it == m_depthsByName.end() || it->second.empty() ? 0 : it->second.back();
  }

  void Close(std::string_view name, const char* p) {
    size_t depth = m_open.size() - 1;
    if (depth == 0 || NameOf(m_open.back()) != name) depth = OpenDepth(name);
    if (depth == 0) {
      XmlNote(m_log, "lone_end_tag").Text("tagname", name).Number("offset", Offset(p));
      MarkIllFormed(m_open.back());
      return;
    }
    CloseUnended(depth);
    Pop();
  }

  // Every element opened after the one at `depth` ends right after its start
  // tag; what followed it moves up to become its following siblings, so all
  // of it ends up as children of the element at `depth`.
  void CloseUnended(size_t depth) {
    uint32_t parent = m_open[depth];
    for (size_t d = depth + 1; d < m_open.size(); ++d) {
      uint32_t element = m_open[d];
      MarkIllFormed(element);
      m_nodes[element].Set(XmlNode::kUnended);
      if (XmlNote::HasRoom(m_log))
        XmlNote(m_log, "unended_start_tag")
            .Text("tagname", NameOf(element))
            .Number("offset", m_nodes[element].start);
      uint32_t last = m_nodes[element].next;
      if (!last) {
        m_nodes[element].next = 0;
        m_nodes[parent].next = element;
        continue;
      }
      uint32_t child = element + 1;
      m_nodes[element].next = child;
      for (;;) {
        m_nodes[child].parent = parent;
        if (child == last) break;
        child = m_nodes[child].next;
      }
      m_nodes[parent].next = last;
    }
    while (m_open.size() > depth + 1) {
      uint32_t element = m_open.back();
      if (m_indexed) m_depthsByName[NameOf(element)].pop_back();
      m_open.pop_back();
    }
  }

  void CheckRoot() {
    uint32_t root = 0;
    for (uint32_t node = 1; node && node < m_nodes.size(); node = m_nodes[node].next) {
      if (m_nodes[node].GetType() != XmlNode::kElement) continue;
      if (!root) {
        root = node;
        continue;
      }
      XmlNote(m_log, "root_has_sibling")
          .Text("tagname", NameOf(node))
          .Number("offset", m_nodes[node].start);
      MarkIllFormed(0);
      return;
    }
    if (!root) {
      XmlNote(m_log, "no_root_element");
      MarkIllFormed(0);
    }
  }

  const char* m_begin;
  const char* m_end;
  std::vector<XmlNode>& m_nodes;
  std::string& m_log;
  std::vector<uint32_t> m_open;
  bool m_illFormed = false;
  bool m_indexed = false;
  std::unordered_map<std::string_view, std::vector<uint32_t>> m_depthsByName;
};

}  // namespace

void XmlDocument::Parse() {
  m_parent = m_current = m_child = 0;
  m_wellFormed = Parser(m_text, m_nodes, m_log).Run();
}
