// What the page walk takes from elements: the kind of each tag, the hints
// of its attributes, microdata, Open Graph and other meta tags, the
// canonical link, the title and the buy buttons.
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "engine/pagewalk_internal.h"
#include "engine/pricehints.h"

namespace {

struct NamedTag {
  const char* name;
  TagInfo info;
};

constexpr unsigned kHidden = kHintHidden;

const NamedTag kTags[] = {
    {"a", {TagKind::kA, false, false, kHintLink}},
    {"address", {TagKind::kOther, true, false, 0}},
    {"article", {TagKind::kOther, true, false, 0}},
    {"aside", {TagKind::kOther, true, false, 0}},
    {"blockquote", {TagKind::kOther, true, false, 0}},
    {"body", {TagKind::kOther, true, false, 0}},
    {"br", {TagKind::kBr, true, false, 0}},
    {"button", {TagKind::kButton, true, false, 0}},
    {"datalist", {TagKind::kOther, true, true, kHidden}},
    {"dd", {TagKind::kOther, true, false, 0}},
    {"del", {TagKind::kOther, false, false, kHintWas}},
    {"details", {TagKind::kOther, true, false, 0}},
    {"div", {TagKind::kOther, true, false, 0}},
    {"dl", {TagKind::kOther, true, false, 0}},
    {"dt", {TagKind::kOther, true, false, 0}},
    {"fieldset", {TagKind::kOther, true, false, 0}},
    {"figcaption", {TagKind::kOther, true, false, 0}},
    {"figure", {TagKind::kOther, true, false, 0}},
    {"footer", {TagKind::kOther, true, false, kHintEdge}},
    {"form", {TagKind::kForm, true, false, 0}},
    {"h1", {TagKind::kH1, true, false, 0}},
    {"h2", {TagKind::kOther, true, false, 0}},
    {"h3", {TagKind::kOther, true, false, 0}},
    {"h4", {TagKind::kOther, true, false, 0}},
    {"h5", {TagKind::kOther, true, false, 0}},
    {"h6", {TagKind::kOther, true, false, 0}},
    {"head", {TagKind::kOther, true, true, 0}},
    {"header", {TagKind::kOther, true, false, kHintEdge}},
    {"hr", {TagKind::kOther, true, false, 0}},
    {"iframe", {TagKind::kOther, true, true, 0}},
    {"img", {TagKind::kImg, false, false, 0}},
    {"input", {TagKind::kInput, false, false, 0}},
    {"li", {TagKind::kOther, true, false, 0}},
    {"link", {TagKind::kLink, false, false, 0}},
    {"main", {TagKind::kOther, true, false, 0}},
    {"meta", {TagKind::kMeta, false, false, 0}},
    {"nav", {TagKind::kOther, true, false, kHintChrome}},
    {"noscript", {TagKind::kOther, true, true, 0}},
    {"ol", {TagKind::kOther, true, false, 0}},
    {"option", {TagKind::kOther, true, true, kHidden}},
    {"p", {TagKind::kOther, true, false, 0}},
    {"pre", {TagKind::kOther, true, false, 0}},
    {"s", {TagKind::kOther, false, false, kHintWas}},
    {"script", {TagKind::kScript, true, true, 0}},
    {"section", {TagKind::kOther, true, false, 0}},
    {"select", {TagKind::kOther, true, true, kHidden}},
    {"strike", {TagKind::kOther, false, false, kHintWas}},
    {"style", {TagKind::kStyle, true, true, 0}},
    {"svg", {TagKind::kOther, false, true, 0}},
    {"table", {TagKind::kOther, true, false, 0}},
    {"td", {TagKind::kOther, true, false, 0}},
    {"template", {TagKind::kOther, true, true, 0}},
    {"textarea", {TagKind::kOther, true, true, 0}},
    {"th", {TagKind::kOther, true, false, 0}},
    {"title", {TagKind::kTitle, true, true, 0}},
    {"tr", {TagKind::kOther, true, false, 0}},
    {"ul", {TagKind::kOther, true, false, 0}},
};

bool Is(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// libxml2's HTML parser hands tag and attribute names over in lower case.
bool Named(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

bool HasToken(std::string_view list, std::string_view token) {
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find_first_of(" \t\r\n", start);
    if (end == std::string_view::npos) end = list.size();
    if (end - start == token.size() &&
        strncasecmp(list.data() + start, token.data(), token.size()) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

std::string Trim(std::string_view text) {
  const char* space = " \t\r\n\f\v";
  const size_t first = text.find_first_not_of(space);
  if (first == std::string_view::npos) return std::string();
  return std::string(text.substr(first, text.find_last_not_of(space) - first + 1));
}

// Whether an inline style hides the element: a declaration display:none or
// visibility:hidden ("backface-visibility: hidden" hides nothing).
bool HidesElement(std::string_view style) {
  std::string compact = ";";
  for (char c : style)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
      compact += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return compact.find(";display:none") != std::string::npos ||
         compact.find(";visibility:hidden") != std::string::npos;
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  const size_t length = word.size();
  for (size_t at = 0; at + length <= text.size(); ++at)
    if (strncasecmp(text.data() + at, word.data(), length) == 0) return true;
  return false;
}

void Keep(std::string& field, const std::string& value) {
  if (field.empty()) field = value;
}

}  // namespace

TagInfo TagInfoOf(const char* name) {
  size_t low = 0;
  size_t high = std::size(kTags);
  while (low < high) {
    const size_t middle = (low + high) / 2;
    const int order = std::strcmp(kTags[middle].name, name);
    if (order == 0) return kTags[middle].info;
    if (order < 0)
      low = middle + 1;
    else
      high = middle;
  }
  return TagInfo{};
}

unsigned NameHints::Of(std::string_view name) {
  // Digits say nothing of what an element is; without them the numbered
  // ids of a page ("item-1017", "w1-13") are a few names.
  m_key.clear();
  for (char c : name)
    if (c < '0' || c > '9')
      m_key += c;
    else if (m_key.empty() || m_key.back() != '0')
      m_key += '0';
  auto known = m_known.find(m_key);
  if (known == m_known.end()) known = m_known.emplace(m_key, HintsOfName(m_key)).first;
  return known->second;
}

Attributes ReadAttributes(const char* tag, const char* const* attributes, NameHints& names) {
  Attributes attrs;
  std::string_view style;
  std::string_view action;
  // The page's own classes ("js flexbox", "catalog-product-view") say
  // nothing about one of its parts.
  const bool page = Named(tag, "html") || Named(tag, "body");
  for (size_t i = 0; attributes && attributes[i]; i += 2) {
    const std::string_view key = attributes[i];
    const std::string_view value = attributes[i + 1] ? attributes[i + 1] : "";
    switch (key[0]) {
      case 'c':
        if (key == "class" && !page) attrs.hints |= names.Of(value);
        if (key == "content") attrs.content = value;
        break;
      case 'i':
        if (key == "id") {
          attrs.id = value;
          if (!page) attrs.hints |= names.Of(value);
        } else if (key == "itemprop") {
          attrs.itemprop = value;
          if (HasToken(value, "price") || HasToken(value, "lowPrice"))
            attrs.hints |= kHintItemPrice | kHintPrice;
        } else if (key == "itemscope") {
          attrs.itemscope = true;
        } else if (key == "itemtype") {
          attrs.itemtype = value;
        }
        break;
      case 's':
        if (key == "src") attrs.src = value;
        if (key == "style") style = value;
        break;
      case 'h':
        if (key == "href") attrs.href = value;
        if (key == "hidden") attrs.hidden = true;
        break;
      case 'r':
        if (key == "rel") attrs.rel = value;
        break;
      case 'p':
        if (key == "property") attrs.property = value;
        break;
      case 'n':
        if (key == "name") {
          attrs.name = value;
          attrs.hints |= names.Of(value) & (kHintBuy | kHintPrice);
        }
        break;
      case 't':
        if (key == "type") attrs.type = value;
        break;
      case 'v':
        if (key == "value") attrs.value = value;
        break;
      case 'a':
        if (key == "action") action = value;
        break;
      case 'd':
        if (key.substr(0, 5) != "data-") break;
        if (ContainsNoCase(key, "price")) attrs.dataPrices.push_back(value);
        // data-strike="true": drawn struck through
        if (ContainsNoCase(key, "strike") && !Is(value, "false")) attrs.hints |= kHintWas;
        break;
      default:
        break;
    }
  }
  // Pages hide their whole body until their scripts have run.
  attrs.hidden = (attrs.hidden || HidesElement(style)) && !page;
  attrs.itemScopeForeign = attrs.itemscope && attrs.itemtype.find("Offer") == std::string::npos &&
                           attrs.itemtype.find("Product") == std::string::npos;
  // A form that puts the product into the cart is the buy box.
  if (Named(tag, "form") && (ContainsNoCase(action, "cart") || ContainsNoCase(action, "basket")))
    attrs.hints |= kHintBuy;
  return attrs;
}

void PageWalker::TakeStartValues(Frame& frame, const Attributes& attrs) {
  if (!frame.foreign && !attrs.itemprop.empty()) {
    // A property's value is its content attribute, a picture's source, a
    // link's target, or else the element's text (taken at its end).
    if (!attrs.content.empty() || frame.tag == TagKind::kMeta)
      TakeItemProps(attrs.itemprop, Trim(attrs.content), false);
    else if (frame.tag == TagKind::kImg)
      TakeItemProps(attrs.itemprop, Trim(attrs.src), false);
    else if (frame.tag == TagKind::kA || frame.tag == TagKind::kLink)
      TakeItemProps(attrs.itemprop, Trim(attrs.href), false);
    else
      frame.textProps = std::string(attrs.itemprop);
  }
  if (frame.tag == TagKind::kMeta) TakeMeta(attrs);
  if (frame.tag == TagKind::kLink && HasToken(attrs.rel, "canonical"))
    Keep(m_facts.sources.canonical, Trim(attrs.href));
  if (frame.tag == TagKind::kScript) StartScript(frame, attrs);
  const bool submit =
      frame.tag == TagKind::kInput && (Is(attrs.type, "submit") || Is(attrs.type, "button"));
  if ((frame.own & kHintBuy) || (submit && IsBuyText(attrs.value))) {
    frame.hasBuy = true;
    m_facts.buyAt.push_back(m_text.size());
  }
  for (std::string_view value : attrs.dataPrices) AttributePrice(frame, value);
}

void PageWalker::TakeEndValues(Frame& frame, std::string_view text) {
  if (!frame.textProps.empty()) TakeItemProps(frame.textProps, std::string(text), true);
  // An <h1> named for the site's navigation names a section, and one in a
  // link another product.
  // Of several, the one most like the page's title (a notice or the
  // shop's logo come first on some pages).
  if (frame.tag == TagKind::kH1 && text.size() >= 2 && !(frame.own & kHintChrome) &&
      !(frame.hints & (kHintHidden | kHintLink | kHintOthers | kHintCarousel))) {
    const double likeness = TitleLikeness(text);
    if (m_facts.titleAt == kNowhere || likeness > m_titleLikeness) {
      m_facts.titleAt = frame.textStart;
      m_facts.titleEnd = m_text.size();
      m_facts.title = std::string(text);
      m_titleLikeness = likeness;
      m_titleWords = std::count(text.begin(), text.end(), ' ') + 1;
      m_facts.blockBegin = m_facts.blockEnd = kNowhere;
      frame.hasTitle = true;
    }
  }
  // Pages without an <h1> show the product's name elsewhere: the first
  // element whose text is most of the page's title stands in for it.
  if (m_facts.titleAt == kNowhere && m_nameAt == kNowhere && ShowsPageTitle(text)) {
    m_nameAt = frame.textStart;
    m_name = std::string(text);
    frame.hasTitle = true;
  }
  if ((frame.tag == TagKind::kButton || frame.tag == TagKind::kA) && !frame.hasBuy &&
      IsBuyText(text)) {
    frame.hasBuy = true;
    m_facts.buyAt.push_back(frame.textStart);
  }
}

// The share of a heading's words that the page's title holds.
double PageWalker::TitleLikeness(std::string_view text) const {
  if (m_pageTitle.empty()) return 0;
  if (m_pageTitle.find(text) != std::string::npos) return 1;
  int words = 0;
  int found = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    if (end - start >= 3) {
      ++words;
      if (m_pageTitle.find(text.substr(start, end - start)) != std::string::npos) ++found;
    }
    start = end + 1;
  }
  return words == 0 ? 0 : static_cast<double>(found) / words;
}

bool PageWalker::ShowsPageTitle(std::string_view text) const {
  if (text.size() < 4 || text.size() > 300 || m_pageTitle.empty()) return false;
  const size_t at = m_pageTitle.find(text);
  if (at == std::string::npos) return false;
  // The title is the name with the shop's name around it ("Name - Shop").
  return text.size() * 2 >= Trim(m_pageTitle).size();
}

void PageWalker::TakeItemProps(std::string_view props, const std::string& value, bool shown) {
  FoundValues& found = m_facts.sources.microdata;
  auto take = [&](const char* prop, std::string& field) {
    if (HasToken(props, prop)) Keep(field, value);
  };
  const bool hadPrice = !found.price.empty();
  take("name", found.name);
  take("image", found.image);
  take("price", found.price);
  take("lowPrice", found.price);
  if (!hadPrice && !found.price.empty()) found.priceShown = shown;
  take("priceCurrency", found.currency);
  take("availability", found.availability);
  for (const char* id : {"sku", "productID", "gtin13", "gtin", "gtin8", "gtin12", "gtin14"})
    take(id, found.id);
}

void PageWalker::TakeMeta(const Attributes& attrs) {
  const std::string_view key = attrs.property.empty() ? attrs.name : attrs.property;
  if (key.empty()) return;
  const std::string value = Trim(attrs.content);
  FoundValues& og = m_facts.sources.openGraph;
  const std::string_view k = key;
  if (Is(k, "og:title")) {
    Keep(og.name, value);
    if (m_pageTitle.empty()) m_pageTitle = value;
  }
  if (Is(k, "og:image") || Is(k, "og:image:url")) Keep(og.image, value);
  if (Is(k, "product:price:amount") || Is(k, "og:price:amount")) Keep(og.price, value);
  if (Is(k, "product:price:currency") || Is(k, "og:price:currency")) Keep(og.currency, value);
  if (Is(k, "product:availability") || Is(k, "og:availability")) Keep(og.availability, value);
  if (Is(k, "product:retailer_item_id")) Keep(og.id, value);
  // Other tags that name a price; a Twitter card's data goes with the label
  // before it.
  if (Is(k, "twitter:label1") || Is(k, "twitter:label2")) m_twitterLabel = value;
  const bool twitterPrice =
      (Is(k, "twitter:data1") || Is(k, "twitter:data2")) && ContainsNoCase(m_twitterLabel, "price");
  if (twitterPrice || Is(k, "product:sale_price:amount") || Is(k, "price"))
    m_facts.metaPrices.emplace_back(std::string(key), value);
}
