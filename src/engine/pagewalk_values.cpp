// What the page walk takes from elements: the kind of each tag, the hints
// of its attributes, microdata, Open Graph and other meta tags, the
// canonical link, the title and the buy buttons.
#include <strings.h>

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

bool Is(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

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

bool ContainsNoCase(std::string_view text, const char* word) {
  const size_t length = std::strlen(word);
  for (size_t at = 0; at + length <= text.size(); ++at)
    if (strncasecmp(text.data() + at, word, length) == 0) return true;
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
    const int order = strcasecmp(kTags[middle].name, name);
    if (order == 0) return kTags[middle].info;
    if (order < 0)
      low = middle + 1;
    else
      high = middle;
  }
  return TagInfo{};
}

Attributes ReadAttributes(const char* tag, const char* const* attributes) {
  Attributes attrs;
  std::string style;
  std::string action;
  for (size_t i = 0; attributes && attributes[i]; i += 2) {
    const char* key = attributes[i];
    const char* value = attributes[i + 1] ? attributes[i + 1] : "";
    if (Is(key, "class") || Is(key, "id")) {
      // The page's own classes ("js flexbox", "catalog-product-view") say
      // nothing about one of its parts.
      if (!Is(tag, "html") && !Is(tag, "body")) attrs.hints |= HintsOfName(value);
      if (Is(key, "id")) attrs.id = value;
    } else if (Is(key, "itemprop")) {
      attrs.itemprop = value;
      if (HasToken(value, "price") || HasToken(value, "lowPrice"))
        attrs.hints |= kHintItemPrice | kHintPrice;
    } else if (Is(key, "itemscope")) {
      attrs.itemscope = true;
    } else if (Is(key, "itemtype")) {
      attrs.itemtype = value;
    } else if (Is(key, "content")) {
      attrs.content = value;
    } else if (Is(key, "src")) {
      attrs.src = value;
    } else if (Is(key, "href")) {
      attrs.href = value;
    } else if (Is(key, "rel")) {
      attrs.rel = value;
    } else if (Is(key, "property")) {
      attrs.property = value;
    } else if (Is(key, "name")) {
      attrs.name = value;
      attrs.hints |= HintsOfName(value) & (kHintBuy | kHintPrice);
    } else if (Is(key, "type")) {
      attrs.type = value;
    } else if (Is(key, "value")) {
      attrs.value = value;
    } else if (Is(key, "style")) {
      style = value;
    } else if (Is(key, "hidden")) {
      attrs.hidden = true;
    } else if (Is(key, "action")) {
      action = value;
    } else if (strncasecmp(key, "data-", 5) == 0 && ContainsNoCase(key, "price")) {
      attrs.dataPrices.push_back(Trim(value));
    }
  }
  // Pages hide their whole body until their scripts have run.
  attrs.hidden = (attrs.hidden || HidesElement(style)) && !Is(tag, "html") && !Is(tag, "body");
  attrs.itemScopeForeign = attrs.itemscope && attrs.itemtype.find("Offer") == std::string::npos &&
                           attrs.itemtype.find("Product") == std::string::npos;
  // A form that puts the product into the cart is the buy box.
  if (Is(tag, "form") && (ContainsNoCase(action, "cart") || ContainsNoCase(action, "basket")))
    attrs.hints |= kHintBuy;
  return attrs;
}

void PageWalker::TakeStartValues(Frame& frame, const Attributes& attrs, const char* name) {
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
      frame.textProps = attrs.itemprop;
  }
  if (frame.tag == TagKind::kMeta) TakeMeta(attrs);
  if (frame.tag == TagKind::kLink && HasToken(attrs.rel, "canonical"))
    Keep(m_facts.sources.canonical, Trim(attrs.href));
  if (frame.tag == TagKind::kScript) StartScript(frame, attrs);
  const bool submit = frame.tag == TagKind::kInput &&
                      (Is(attrs.type.c_str(), "submit") || Is(attrs.type.c_str(), "button"));
  if ((frame.own & kHintBuy) || (submit && IsBuyText(attrs.value))) {
    frame.hasBuy = true;
    m_facts.buyAt.push_back(m_text.size());
  }
  for (const std::string& value : attrs.dataPrices) AttributePrice(frame, value);
  (void)name;
}

void PageWalker::TakeEndValues(Frame& frame, std::string_view text) {
  if (!frame.textProps.empty()) TakeItemProps(frame.textProps, std::string(text), true);
  // An <h1> named for the site's navigation names a section, not the product.
  if (frame.tag == TagKind::kH1 && m_facts.titleAt == kNowhere && text.size() >= 2 &&
      !(frame.own & kHintChrome) && !(frame.hints & kHintHidden)) {
    m_facts.titleAt = frame.textStart;
    frame.hasTitle = true;
  }
  // Pages without an <h1> show the product's name elsewhere: the first
  // element whose text is most of the page's title stands in for it.
  if (m_facts.titleAt == kNowhere && m_nameAt == kNowhere && ShowsPageTitle(text)) {
    m_nameAt = frame.textStart;
    frame.hasTitle = true;
  }
  if ((frame.tag == TagKind::kButton || frame.tag == TagKind::kA) && !frame.hasBuy &&
      IsBuyText(text)) {
    frame.hasBuy = true;
    m_facts.buyAt.push_back(frame.textStart);
  }
}

bool PageWalker::ShowsPageTitle(std::string_view text) const {
  if (text.size() < 4 || text.size() > 300 || m_pageTitle.empty()) return false;
  const size_t at = m_pageTitle.find(text);
  if (at == std::string::npos) return false;
  // The title is the name with the shop's name around it ("Name - Shop").
  return text.size() * 2 >= Trim(m_pageTitle).size();
}

void PageWalker::TakeItemProps(const std::string& props, const std::string& value, bool shown) {
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
  const std::string& key = attrs.property.empty() ? attrs.name : attrs.property;
  if (key.empty()) return;
  const std::string value = Trim(attrs.content);
  FoundValues& og = m_facts.sources.openGraph;
  const char* k = key.c_str();
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
    m_facts.metaPrices.emplace_back(key, value);
}
