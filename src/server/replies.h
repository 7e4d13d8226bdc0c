#pragma once

#include <string>
#include <vector>

#include "server/store.h"

// The reply texts the program reads (UTF-8, JSON-shaped). The program reads
// them with patterns, not a JSON parser, so every value is written so that it
// can't close its quotes early: non-ASCII text, quotes and backslashes become
// \u escapes, which is also what the program decodes.

// An offer of the comparison reply.
struct Offer {
  std::string title;  // UTF-8
  std::string price;  // "%.2f"
  std::string url;
  std::string site;  // UTF-8
};

// Text as a JSON string body: ASCII kept except '"', '\\' and control
// characters, which become \u00XX; every other character becomes \uXXXX (two
// escapes, a surrogate pair, above U+FFFF). Slashes stay as they are: the
// program undoes "\/" in titles and links but not in shop names.
std::string JsonText(const std::string& utf8);
// A link as a JSON string body: bytes that don't belong in a link (non-ASCII,
// quotes, backslashes, blanks, control characters) percent-encoded.
std::string JsonLink(const std::string& link);

// [{"t":"<seconds>","p":"<price>"},...] oldest first.
std::string HistoryReply(const std::vector<PricePoint>& points);
// [{"title":...,"price":...,"url":...,"site":...},...] in the given order.
std::string ComparisonReply(const std::vector<Offer>& offers);
