// The walk over a page: libxml2's HTML parser (it recovers from the tag soup
// shops serve) calls back for every element and text; no tree is built,
// which is most of what reading a large page used to cost.
#include "engine/pagewalk.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string_view>

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include "engine/pagewalk_internal.h"
#include "engine/pricehints.h"
#include "engine/pricetext_internal.h"

namespace {

// Elements nested deeper than this are walked as part of their ancestor.
constexpr size_t kMaxDepth = 512;
// Elements this close to the root are the site's frame.
constexpr size_t kFrameDepth = 4;
// A price is written in a few words; longer texts are descriptions.
constexpr size_t kLongestPriceText = 100;
// Scripts that may hold a state are kept up to this much in all.
constexpr size_t kMostScriptText = 8u << 20;

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool HasDigit(std::string_view text) {
  for (char c : text)
    if (c >= '0' && c <= '9') return true;
  return false;
}

bool HasCurrency(std::string_view text) {
  for (size_t at = 0; at < text.size(); ++at)
    if (CurrencyAt(text, at)) return true;
  return false;
}

// The length of a no-break, thin or other wide blank at `at`, 0 when none.
size_t UnicodeBlankAt(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
  };
  if (byte(0) == 0xC2 && byte(1) == 0xA0) return 2;
  if (byte(0) == 0xE2 && byte(1) == 0x80 &&
      ((byte(2) >= 0x80 && byte(2) <= 0x8A) || byte(2) == 0xAF))
    return 3;
  if (byte(0) == 0xE3 && byte(1) == 0x80 && byte(2) == 0x80) return 3;
  return 0;
}

// Whether a label holds an amount of its own ("statt 4.50", "€ 39"), as
// opposed to a count ("3x", "-50%").
bool HoldsAmount(std::string_view label) {
  if (HasCurrency(label)) return true;
  for (size_t at = 0; at < label.size(); ++at) {
    if (!IsDigit(label, at)) continue;
    size_t end = at;
    while (IsDigit(label, end)) ++end;
    const bool decimals = end + 1 < label.size() && (label[end] == '.' || label[end] == ',') &&
                          IsDigit(label, end + 1);
    if (end - at > 2 || decimals) return true;
    at = end;
  }
  return false;
}

bool Machine(std::string_view value) {
  if (value.empty() || value.size() > 20) return false;
  for (char c : value)
    if (!((c >= '0' && c <= '9') || c == '.')) return false;
  return true;
}

}  // namespace

PageWalker::PageWalker() {
  m_text.reserve(1 << 16);
  m_stack.reserve(64);
}

void PageWalker::Start(const char* name, const char* const* attributes) {
  if (m_stack.size() >= kMaxDepth) {
    ++m_tooDeep;
    return;
  }
  auto known = m_tags.find(name);
  if (known == m_tags.end()) known = m_tags.emplace(name, TagInfoOf(name)).first;
  const TagInfo tag = known->second;
  Frame frame;
  frame.tag = tag.kind;
  frame.block = tag.block;
  frame.textStart = m_text.size();
  frame.firstPrice = m_facts.prices.size();
  if (!m_stack.empty()) {
    const Frame& parent = m_stack.back();
    frame.hints = parent.hints & ~kHintItemPrice;
    frame.foreign = parent.foreign || parent.itemScopeForeign;
    frame.noText = parent.noText;
  }
  frame.noText = frame.noText || tag.noText;
  tag.block ? Break() : Edge();
  const Attributes attrs = ReadAttributes(name, attributes, m_names);
  frame.own = attrs.hints | tag.hints;
  // A header or footer near the top of the tree is the site's; deeper down
  // it heads an article or the product.
  if (frame.own & kHintEdge)
    frame.own = (frame.own & ~kHintEdge) | (m_stack.size() <= kFrameDepth ? kHintChrome : 0u);
  frame.hints |= frame.own;
  if (attrs.hidden) frame.hints |= kHintHidden;
  frame.itemScopeForeign = attrs.itemScopeForeign;
  TakeStartValues(frame, attrs);
  m_stack.push_back(std::move(frame));
}

void PageWalker::End() {
  if (m_tooDeep > 0) {
    --m_tooDeep;
    return;
  }
  if (m_stack.empty()) return;
  Frame frame = std::move(m_stack.back());
  m_stack.pop_back();
  if (frame.tag == TagKind::kScript) EndScript();
  const std::string_view text = Trimmed(std::string_view(m_text).substr(frame.textStart));
  TakeEndValues(frame, text);
  LabelPrices(frame);
  if (!frame.noText && !(frame.hints & kHintHidden)) {
    DropFragments(frame, text);
    EmitPrice(frame, text);
  }
  if ((frame.own & kHintChrome) && !frame.hasTitle)
    m_facts.chrome.emplace_back(frame.textStart, m_text.size());
  // A hidden part's text was kept for its microdata only.
  const bool hidden = frame.hints & kHintHidden;
  if (hidden && (m_stack.empty() || !(m_stack.back().hints & kHintHidden)) &&
      m_text.size() > frame.textStart) {
    m_text.resize(frame.textStart);
    m_break = true;
  }
  if (frame.hasTitle && frame.hasBuy && m_facts.blockBegin == kNowhere) {
    m_facts.blockBegin = frame.textStart;
    m_facts.blockEnd = m_text.size();
  }
  if (!m_stack.empty()) {
    Frame& parent = m_stack.back();
    parent.emitted = parent.emitted || frame.emitted;
    parent.hasTitle = parent.hasTitle || frame.hasTitle;
    parent.hasBuy = parent.hasBuy || frame.hasBuy;
  }
  frame.block ? Break() : Edge();
}

void PageWalker::Text(const char* text, int length) {
  if (m_stack.empty()) return;
  const Frame& frame = m_stack.back();
  if (frame.tag == TagKind::kScript) {
    if (m_scriptKept) m_script.append(text, static_cast<size_t>(length));
    return;
  }
  if (frame.tag == TagKind::kTitle && m_pageTitle.size() < 1000)
    m_pageTitle.append(text, static_cast<size_t>(length));
  if (frame.noText) return;
  AppendText(std::string_view(text, static_cast<size_t>(length)));
}

// Runs of white space (no-break and thin spaces too) become one blank; a
// block's edge is a blank too; two numbers that only an element's edge parts
// ("35<sup>99</sup>") get one.
void PageWalker::AppendText(std::string_view text) {
  // Control characters show nothing: they count as blanks, so that no text
  // taken from a page carries one into a line of output.
  auto blank = [&](size_t at) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    return c <= ' ' || c == 0x7F ? size_t{1} : UnicodeBlankAt(text, at);
  };
  for (size_t at = 0; at < text.size();) {
    if (const size_t length = blank(at)) {
      if (!m_text.empty() && m_text.back() != ' ') m_text += ' ';
      at += length;
      continue;
    }
    const char c = text[at];
    if (!m_text.empty() && m_text.back() != ' ') {
      const bool digits = m_text.back() >= '0' && m_text.back() <= '9' && c >= '0' && c <= '9';
      if (m_break || (m_edge && digits)) m_text += ' ';
    }
    m_break = false;
    m_edge = false;
    // The rest of the word at once.
    size_t end = at + 1;
    while (end < text.size() && blank(end) == 0) ++end;
    m_text.append(text, at, end - at);
    at = end;
  }
}

void PageWalker::Break() { m_break = true; }

void PageWalker::Edge() { m_edge = true; }

// The first amounts of a short text that holds a digit and a currency, or
// sits in an element named for a price. An element whose descendants gave
// prices gives none of its own: its text is theirs put together.
void PageWalker::EmitPrice(Frame& frame, std::string_view text) {
  if (frame.emitted || text.empty() || text.size() > kLongestPriceText || !HasDigit(text)) return;
  const unsigned near = frame.own | NearHints();
  if (!(near & (kHintPrice | kHintItemPrice)) && !HasCurrency(text)) return;
  ShownPrice price;
  price.text = std::string(text);
  price.at = frame.textStart;
  price.hints = frame.hints | HintsOfText(text);
  price.near = near;
  price.currency = HasCurrency(text);
  price.depth = m_stack.size();
  m_facts.prices.push_back(std::move(price));
  frame.emitted = true;
}

// Numbers without a currency inside an element whose text has one are
// pieces of its price ("$229<span class=cents>99</span>"), not prices.
void PageWalker::DropFragments(Frame& frame, std::string_view text) {
  if (!frame.emitted || text.size() > kLongestPriceText || !HasCurrency(text)) return;
  std::vector<ShownPrice>& prices = m_facts.prices;
  for (size_t i = frame.firstPrice; i < prices.size(); ++i)
    if (!prices[i].attribute && prices[i].currency) return;
  prices.erase(std::remove_if(prices.begin() + static_cast<long>(frame.firstPrice), prices.end(),
                              [](const ShownPrice& price) { return !price.attribute; }),
               prices.end());
  frame.emitted = false;
}

// What stands in front of a price in its parent or grandparent ("Was",
// "RRP:", "Save", "3x") says what the price is, unless it is another price.
void PageWalker::LabelPrices(const Frame& frame) {
  constexpr unsigned kLabels = kHintPrice | kHintWas | kHintSaving | kHintInstalment |
                               kHintShipping | kHintUnit | kHintThreshold | kHintApprox;
  for (size_t i = frame.firstPrice; i < m_facts.prices.size(); ++i) {
    ShownPrice& price = m_facts.prices[i];
    if (price.attribute || price.at <= frame.textStart || price.at - frame.textStart > 60 ||
        price.depth > m_stack.size() + 2)
      continue;
    const std::string_view label =
        std::string_view(m_text).substr(frame.textStart, price.at - frame.textStart);
    // "Price:" names every price after it; "Was" only the one it stands by.
    const unsigned hints = HintsOfText(label) & (HoldsAmount(label) ? kHintPrice : kLabels);
    price.hints |= hints;
    price.near |= hints & kHintPrice;
  }
}

unsigned PageWalker::NearHints() const {
  unsigned hints = 0;
  for (size_t up = 1; up <= 2 && up <= m_stack.size(); ++up)
    hints |= m_stack[m_stack.size() - up].own;
  return hints;
}

void PageWalker::StartScript(Frame& frame, const Attributes& attrs) {
  frame.noText = true;
  m_script.clear();
  const std::string_view type = Trimmed(attrs.type.substr(0, attrs.type.find(';')));
  constexpr std::string_view kJsonLd = "application/ld+json";
  m_scriptJsonLd =
      type.size() == kJsonLd.size() && strncasecmp(type.data(), kJsonLd.data(), type.size()) == 0;
  m_scriptJson = m_scriptJsonLd || type.find("json") != std::string_view::npos;
  m_scriptKept = m_scriptJsonLd || m_scriptText < kMostScriptText;
}

void PageWalker::EndScript() {
  if (!m_scriptKept) return;
  if (m_scriptJsonLd) {
    m_facts.sources.jsonBlocks.push_back(std::move(m_script));
  } else if (m_script.find("rice") != std::string::npos) {
    m_scriptText += m_script.size();
    m_facts.scripts.push_back({std::move(m_script), m_scriptJson});
  }
  m_script.clear();
  m_scriptKept = false;
}

void PageWalker::AttributePrice(const Frame& frame, std::string_view value) {
  if (!Machine(value) || frame.noText || (frame.hints & kHintHidden)) return;
  ShownPrice price;
  price.text = std::string(value);
  price.at = m_text.size();
  price.hints = frame.hints;
  price.near = frame.own | NearHints();
  price.attribute = true;
  m_facts.prices.push_back(std::move(price));
}

PageFacts PageWalker::Finish() {
  // A short <h1> with none of the words of the page's title ("Sale",
  // "Mens") names a section, not the product.
  if (m_facts.titleAt != kNowhere && m_titleLikeness == 0 && !m_pageTitle.empty() &&
      m_titleWords < 3) {
    m_facts.titleAt = m_facts.titleEnd = kNowhere;
    m_facts.title.clear();
  }
  if (m_facts.titleAt == kNowhere && m_nameAt != kNowhere) {
    m_facts.titleAt = m_nameAt;
    m_facts.title = m_name;
  }
  m_facts.textLength = m_text.size();
  return std::move(m_facts);
}

namespace {

PageWalker& WalkerOf(void* context) {
  return *static_cast<PageWalker*>(static_cast<htmlParserCtxtPtr>(context)->_private);
}

void OnStart(void* context, const xmlChar* name, const xmlChar** attributes) {
  WalkerOf(context).Start(reinterpret_cast<const char*>(name),
                          reinterpret_cast<const char* const*>(attributes));
}

void OnEnd(void* context, const xmlChar*) { WalkerOf(context).End(); }

void OnText(void* context, const xmlChar* text, int length) {
  WalkerOf(context).Text(reinterpret_cast<const char*>(text), length);
}

struct ContextDeleter {
  void operator()(htmlParserCtxtPtr context) const { htmlFreeParserCtxt(context); }
};

}  // namespace

PageFacts WalkPage(const std::string& utf8Page) {
  PageWalker walker;
  if (utf8Page.empty()) return walker.Finish();
  // The parser's globals are set up once, before passes on several threads
  // parse at the same time.
  static std::once_flag initialised;
  std::call_once(initialised, [] { xmlInitParser(); });
  std::unique_ptr<htmlParserCtxt, ContextDeleter> context(htmlNewParserCtxt());
  if (!context) return walker.Finish();
  htmlSAXHandler& sax = *context->sax;
  std::memset(&sax, 0, sizeof sax);
  sax.startElement = OnStart;
  sax.endElement = OnEnd;
  sax.characters = OnText;
  sax.ignorableWhitespace = OnText;
  sax.cdataBlock = OnText;  // the text of scripts and styles
  context->_private = &walker;
  // The page is UTF-8 whatever its <meta charset> says: the fetcher has
  // converted it already.
  const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                      HTML_PARSE_NONET | HTML_PARSE_NOIMPLIED;
  htmlCtxtReadMemory(context.get(), utf8Page.data(), static_cast<int>(utf8Page.size()), nullptr,
                     "UTF-8", options);
  return walker.Finish();
}

PageSources WalkHtml(const std::string& utf8Page) { return WalkPage(utf8Page).sources; }
