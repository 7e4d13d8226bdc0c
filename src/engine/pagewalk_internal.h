#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/pagewalk.h"

// The stages of the page walk: what an element is, what its attributes say,
// and the walker that the parser's callbacks drive.

enum class TagKind {
  kOther,
  kScript,
  kStyle,
  kTitle,
  kH1,
  kA,
  kButton,
  kInput,
  kForm,
  kBr,
  kImg,
  kMeta,
  kLink,
};

struct TagInfo {
  TagKind kind = TagKind::kOther;
  bool block = false;   // starts a line of its own
  bool noText = false;  // its text is not shown (scripts, styles, a <select>'s options)
  unsigned hints = 0;   // PriceHint bits of the tag itself (<s> is struck through)
};

TagInfo TagInfoOf(const char* name);

// The attributes of one element that the walk reads.
struct Attributes {
  std::string itemprop, itemtype, content, src, href, rel, property, name, type, value, id;
  std::vector<std::string> dataPrices;  // values of data-*price* attributes
  bool itemscope = false;
  bool itemScopeForeign = false;  // an item that is not a product or offer (a brand, a review)
  bool hidden = false;
  unsigned hints = 0;  // PriceHint bits of class, id, itemprop and name
};

Attributes ReadAttributes(const char* tag, const char* const* attributes);

class PageWalker {
 public:
  PageWalker();
  void Start(const char* name, const char* const* attributes);
  void End();
  void Text(const char* text, int length);
  void Raw(const char* text, int length);
  PageFacts Finish();

 private:
  struct Frame {
    TagKind tag = TagKind::kOther;
    bool block = false;
    bool noText = false;
    unsigned hints = 0;  // own and inherited
    unsigned own = 0;    // the element's own
    size_t textStart = 0;
    size_t firstPrice = 0;  // prices found inside start here
    bool emitted = false;   // a price came from inside
    bool hasTitle = false;
    bool hasBuy = false;
    bool foreign = false;           // inside an item that is not the product
    bool itemScopeForeign = false;  // this element starts such an item
    std::string textProps;          // microdata properties whose value is the text
  };

  void AppendText(std::string_view text);
  void Break();
  void Edge();
  void EmitPrice(Frame& frame, std::string_view text);
  void DropFragments(Frame& frame, std::string_view text);
  void LabelPrices(const Frame& frame);
  unsigned NearHints() const;
  void TakeStartValues(Frame& frame, const Attributes& attrs, const char* name);
  void TakeEndValues(Frame& frame, std::string_view text);
  bool ShowsPageTitle(std::string_view text) const;
  void TakeItemProps(const std::string& props, const std::string& value, bool shown);
  void TakeMeta(const Attributes& attrs);
  void StartScript(Frame& frame, const Attributes& attrs);
  void EndScript();
  void AttributePrice(const Frame& frame, const std::string& value);

  PageFacts m_facts;
  std::vector<Frame> m_stack;
  std::string m_text;  // the page's text as shown, blanks made one
  bool m_break = false;
  bool m_edge = false;
  size_t m_tooDeep = 0;
  std::string m_script;
  bool m_scriptKept = false;
  bool m_scriptJsonLd = false;
  bool m_scriptJson = false;
  size_t m_scriptText = 0;
  std::string m_twitterLabel;
  std::string m_pageTitle;     // <title>, or og:title
  size_t m_nameAt = kNowhere;  // the first element that shows the page's title
};
