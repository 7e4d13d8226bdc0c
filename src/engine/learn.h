#pragma once

#include <string>

#include "engine/extract.h"
#include "engine/site.h"

// Learning a shop from one of its product pages and the price the user sees
// on it: where the page shows that price, its name, its id, its picture and
// its stock, written as an ordinary shop record for the link's host whose
// patterns anchor on what the shop's pages share (tags, attribute and class
// names, JSON keys, labels), never on this product's name, id or numbers.

struct LearnRequest {
  std::string page;     // in the local code page, as the shop's record will fetch it
  std::string charset;  // what the page was read as ("utf-8", "gb18030" ...)
  std::string link;     // the product link
  std::string price;    // the price the user sees, as typed (local code page)
};

struct LearnedShop {
  bool learned = false;
  std::string why;  // when not learned: the reason, in the local code page
  CSite site;       // the record, marked learned
  // What the record reads back from the page.
  std::string price;  // "%.2f"
  ItemInfo info;
  int stock = STOCK_UNKNOWN;
};

// Learns the record, and checks that it reads back the price, a name and an
// id from the page. Nothing is stored.
LearnedShop LearnShop(const LearnRequest& request);

// The page of a link as a learned record of its shop will read it, and the
// character set it is in; empty (with `why` in the local code page) when it
// could not be fetched or read.
std::string FetchPageToLearn(const std::string& link, std::string& charset, std::string& why);
// The same for the bytes of a page and the Content-Type they came with
// ("" for a saved page).
std::string ReadPageToLearn(const std::string& bytes, const std::string& contentType,
                            std::string& charset, std::string& why);
