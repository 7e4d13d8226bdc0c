// The words shops use around prices, in the names of their elements and in
// the texts people read. Only words that mean the same on every shop are
// here; nothing names a shop.
#include "engine/pricehints.h"

#include <string>

namespace {

struct Words {
  unsigned hint;
  std::initializer_list<const char*> exact;      // whole words of a name
  std::initializer_list<const char*> contained;  // inside a name, separators removed
};

const Words kNameWords[] = {
    {kHintPrice,
     {"pris", "pret", "amount", "cost"},
     {"price", "prix", "preis", "precio", "prezzo", "preco", "pricing", "cena", "fiyat", "harga",
      "prijs", "hinta"}},
    {kHintCurrent,
     {"sale", "special", "final", "current", "now", "actual", "our", "deal", "offer", "promo",
      "promotion", "selling", "sell", "new", "reduced", "discounted", "member"},
     {"saleprice", "ourprice", "dealprice", "specialprice", "finalprice", "currentprice",
      "nowprice", "newprice", "sellprice", "sellingprice", "offerprice", "promoprice", "pricenew",
      "pricenow", "pricesale", "pricecurrent", "pricefinal", "priceactual", "pricespecial"}},
    {kHintWas,
     {"old",      "was",    "reg",    "regular", "orig",    "original", "before",  "prev",
      "previous", "former", "list",   "strike",  "striked", "crossed",  "compare", "msrp",
      "rrp",      "uvp",    "retail", "del",     "initial", "instead",  "statt",   "barre"},
     {"oldprice", "wasprice", "listprice", "regularprice", "originalprice", "compareat",
      "compareprice", "strikethrough", "strikeprice", "crossedout", "beforeprice", "retailprice",
      "linethrough", "priceold", "pricewas", "priceregular", "pricebefore"}},
    {kHintSaving,
     {"save", "saving", "savings", "percent", "off", "rabatt", "yousave"},
     {"saveprice", "pricesave", "discountpercent", "percentoff"}},
    {kHintInstalment,
     {"emi", "month", "monthly"},
     {"instal", "klarna", "afterpay", "financ", "ratenzahl", "credit", "cofidis", "oney", "affirm",
      "paylater", "sezzle", "laybuy", "clearpay"}},
    {kHintShipping,
     {"ship", "fee", "fees"},
     {"shipping", "delivery", "postage", "freight", "versand", "livraison", "spedizione", "envio"}},
    {kHintUnit,
     {"unit", "per", "perkg", "kg", "liter", "litre", "measure"},
     {"unitprice", "baseprice", "grundpreis", "priceper", "perunit", "pricebyunit"}},
    {kHintOthers,
     {"also", "reco", "recs", "recos", "tile", "tiles", "teaser", "others"},
     {"related", "recommend", "similar", "upsell", "crosssell", "alsobought", "alsoviewed",
      "viewed", "recent", "bundle", "accessor", "suggest", "complement", "youmay", "youmight",
      "morefrom", "sponsored"}},
    {kHintCarousel, {}, {"carousel", "slider", "swiper", "slick"}},
    {kHintChrome,
     {"nav", "menu", "banner"},
     {"navbar", "navigation", "breadcrumb", "megamenu", "cookie", "newsletter", "minicart",
      "sidebar", "topbar"}},
    {kHintEdge, {}, {"header", "footer"}},
    {kHintReview, {"star", "stars", "vote", "votes"}, {"review", "rating"}},
    {kHintBuy,
     {"buy"},
     {"addtocart", "addtobag", "addtobasket", "buynow", "buybutton", "buybtn", "addcart",
      "purchase", "warenkorb", "panier", "carrello", "koszyk"}},
    {kHintMain,
     {"pdp", "summary", "detail", "details"},
     {"productdetail", "productinfo", "productmain", "productessential", "buybox", "productsummary",
      "productpage", "productview", "itemdetail", "goodsdetail", "catalogdetail", "productsingle",
      "mainproduct"}},
};

const Words kTextWords[] = {
    {kHintApprox,
     {},
     {"circa", "approx", "ca.", "environ", "ungefähr", "etwa", "aprox", "около", "約", "约"}},
    {kHintWas,
     {},
     {"was ",           "was:",   "statt",  "uvp",    "rrp",   "msrp",       "list price",
      "regular price",  "reg.",   "orig",   "before", "avant", "prix barré", "prima",
      "antes",          "vorher", "было",   "原價",   "原价",  "市價",       "市价",
      "定價",           "定价",   "参考价", "參考價", "정가",  "通常価格",   "定価",
      "precio anterior"}},
    {kHintSaving,
     {},
     {"save", "saving", "sparen", "sie sparen", "économ", "risparm", "ahorr", "economiz", "скидк",
      "節省", "现省", "現省", "할인", "% off", "%off"}},
    {kHintInstalment,
     {},
     {"/mo",          "/ mo",        "per month", "a month", "/month", "monthly", "x 12",
      "mensual",      "/mes",        "mois",      "monat",   "mese",   "mesi",    "kuud",
      "mēn",          "месяц",       "개월",      "分期",    " emi",   "fois",    "payments of",
      "installments", "instalments", "raten",     "rate da", "cuotas", "parcelas"}},
    {kHintShipping,
     {},
     {"shipping", "postage", "p&p", "delivery", "versand", "livraison", "spedizione", "envío",
      "envio", "frete", "доставк", "运费", "運費", "배송", "送料", "porto", "liefer", "zustell"}},
    {kHintUnit,
     {},
     {"/kg", "/ kg", "per kg", "/100", "/ 100", "/l ", "/ l ", "per l ", "/m²", "/ml", "/g ", "/lb",
      "/oz", "je kg", "/ stk", "/stk"}},
    {kHintThreshold, {}, {"over ",     "under ", "above ",   "below ",      "less than",
                          "more than", "up to",  "dès",      "à partir",    "ab ",
                          "bis ",      "до ",    "以上",     "以下",        "이상",
                          "이하",      "desde",  "a partir", "orders over", "free shipping"}},
};

constexpr const char* kBuyTexts[] = {
    "add to cart",
    "add to bag",
    "add to basket",
    "add to trolley",
    "buy now",
    "buy it now",
    "warenkorb",
    "ajouter au panier",
    "aggiungi al carrello",
    "añadir al carrito",
    "añadir a la cesta",
    "adicionar ao carrinho",
    "adicionar ao cesto",
    "comprar",
    "kaufen",
    "acheter",
    "acquista",
    "do koszyka",
    "в корзину",
    "купить",
    "加入购物车",
    "加入購物車",
    "立即购买",
    "立即購買",
    "カートに入れる",
    "購入",
    "장바구니",
    "구매하기",
    "바로구매",
    "sepete ekle",
    "lägg i varukorgen",
    "læg i kurv",
    "in winkelwagen",
    "do košíku",
    "do košíka",
    "kosárba",
    "ostoskoriin",
    "grozā",
    "ostukorvi",
    "u košaricu",
    "أضف إلى",
    "mua ngay",
    "thêm vào giỏ",
    "bestellen",
    "order now",
    "buy tickets",
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool Contains(std::string_view text, std::string_view word) {
  return text.find(word) != std::string_view::npos;
}

// One class name: its words ("priceBlock" is "price" and "block") and the
// whole name without separators.
unsigned HintsOfOneName(std::string_view name) {
  std::string joined;
  std::string word;
  unsigned hints = 0;
  auto endWord = [&] {
    if (word.empty()) return;
    for (const Words& words : kNameWords)
      for (const char* exact : words.exact)
        if (word == exact) hints |= words.hint;
    word.clear();
  };
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (!IsAlnum(c)) {
      endWord();
      continue;
    }
    if (c >= 'A' && c <= 'Z' && i > 0 && name[i - 1] >= 'a' && name[i - 1] <= 'z') endWord();
    word += Lower(c);
    joined += Lower(c);
  }
  endWord();
  for (const Words& words : kNameWords)
    for (const char* contained : words.contained)
      if (Contains(joined, contained)) hints |= words.hint;
  return hints;
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

}  // namespace

unsigned HintsOfName(std::string_view name) {
  unsigned hints = 0;
  size_t start = 0;
  while (start < name.size()) {
    size_t end = name.find_first_of(" \t\r\n", start);
    if (end == std::string_view::npos) end = name.size();
    if (end > start) hints |= HintsOfOneName(name.substr(start, end - start));
    start = end + 1;
  }
  return hints;
}

// "3x", "4 x", "10×": a price paid in so many parts.
bool CountsParts(std::string_view lower) {
  for (size_t at = 0; at < lower.size(); ++at) {
    if (lower[at] < '0' || lower[at] > '9' ||
        (at > 0 && lower[at - 1] >= '0' && lower[at - 1] <= '9'))
      continue;
    size_t end = at;
    while (end < lower.size() && lower[end] >= '0' && lower[end] <= '9') ++end;
    if (end - at > 2) continue;
    if (end < lower.size() && lower[end] == ' ') ++end;
    const bool times = lower.compare(end, 1, "x") == 0 || lower.compare(end, 2, "×") == 0;
    const size_t after = end + (lower.compare(end, 1, "x") == 0 ? 1 : 2);
    if (times && (after >= lower.size() || !IsAlnum(lower[after]))) return true;
  }
  return false;
}

unsigned HintsOfText(std::string_view text) {
  const std::string lower = LowerAscii(text) + " ";
  unsigned hints = CountsParts(lower) ? kHintInstalment : 0u;
  for (const Words& words : kTextWords)
    for (const char* contained : words.contained)
      if (Contains(lower, contained)) hints |= words.hint;
  return hints;
}

bool IsBuyText(std::string_view text) {
  if (text.size() > 60) return false;
  const std::string lower = LowerAscii(text);
  for (const char* buy : kBuyTexts)
    if (Contains(lower, buy)) return true;
  return false;
}
