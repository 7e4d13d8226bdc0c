// Anchors for learned patterns. The context before a value is read as markup
// and written as a pattern that keeps what the shop's pages share - tag and
// attribute names, short class names and JSON keys, short labels - and lets
// go of what belongs to one product: numbers, long texts, links, other
// attributes.
#include "engine/learn_anchor.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "engine/spider.h"
#include "text/regex.h"

namespace {

// How far before a value its anchor may begin, and how many anchors of one
// place are tried before the best of them is taken.
constexpr size_t kContextLength = 300;
constexpr size_t kLongestAnchor = 200;
constexpr int kAnchorsPerPlace = 6;
// The words of this much context before a value are its label.
constexpr size_t kLabelLength = 90;
// Longer quoted values and texts are product data, never part of an anchor.
constexpr size_t kLongestQuotedName = 40;
constexpr size_t kLongestLabel = 16;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_' || c == '-' || c == ':'; }

bool HasDigit(std::string_view text) { return std::any_of(text.begin(), text.end(), IsDigit); }

size_t DigitRun(std::string_view text) {
  size_t longest = 0, run = 0;
  for (char c : text) {
    run = IsDigit(c) ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

// Lower-case words of a text, split at anything but letters and at camel
// case.
std::set<std::string> Words(std::string_view text) {
  std::set<std::string> words;
  std::string word;
  auto flush = [&] {
    if (!word.empty()) words.insert(word);
    word.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!IsLetter(c)) {
      flush();
      continue;
    }
    const bool upper = c >= 'A' && c <= 'Z';
    const bool lowerBefore = i > 0 && text[i - 1] >= 'a' && text[i - 1] <= 'z';
    const bool lowerAfter = i + 1 < text.size() && text[i + 1] >= 'a' && text[i + 1] <= 'z';
    const bool upperBefore = i > 0 && text[i - 1] >= 'A' && text[i - 1] <= 'Z';
    if (upper && (lowerBefore || (upperBefore && lowerAfter))) flush();
    word += upper ? static_cast<char>(c - 'A' + 'a') : c;
  }
  flush();
  return words;
}

bool AnyOf(const std::set<std::string>& words, const std::vector<std::string_view>& list) {
  for (std::string_view word : list)
    if (words.count(std::string(word))) return true;
  return false;
}

// Attributes that say how an element looks or where it leads, or that a
// page generator numbers: nothing the shop's other pages share.
bool IsNoiseAttribute(std::string_view name) {
  static const char* const kNoise[] = {
      "style",  "title", "alt",   "href",   "src",     "srcset", "sizes", "role",   "tabindex",
      "target", "rel",   "width", "height", "loading", "lang",   "dir",   "hidden", "tooltip"};
  if (HasDigit(name) || name.starts_with("aria-") || name.starts_with("data-v-")) return true;
  if (name.size() > 2 && strncasecmp(name.data(), "on", 2) == 0) return true;
  for (const char* noise : kNoise)
    if (name.size() == std::strlen(noise) && strncasecmp(name.data(), noise, name.size()) == 0)
      return true;
  return false;
}

// A short text as a pattern: blanks and digits loosened, the rest literal.
std::string LabelPattern(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (IsSpace(text[i])) {
      while (i < text.size() && IsSpace(text[i])) ++i;
      out += "\\s*";
    } else if (IsDigit(text[i])) {
      while (i < text.size() && IsDigit(text[i])) ++i;
      out += "\\d+";
    } else {
      out += PatternLiteral(text.substr(i, 1));
      ++i;
    }
  }
  return out;
}

bool IsIdentifier(std::string_view value) {
  if (value.empty() || value.size() > kLongestQuotedName || IsDigit(value[0]) ||
      DigitRun(value) >= 3)
    return false;
  return std::all_of(value.begin(), value.end(),
                     [](char c) { return IsNameChar(c) || c == '.' || c == '$' || c == '@'; });
}

// The class names of a value that say what the element is: those made of
// words that name the value, or else its first plain name. "" when none.
std::string ClassPattern(std::string_view value, const AnchorWords& words, char quote) {
  std::vector<std::string_view> names, kept;
  for (size_t i = 0; i < value.size();) {
    while (i < value.size() && IsSpace(value[i])) ++i;
    const size_t start = i;
    while (i < value.size() && !IsSpace(value[i])) ++i;
    if (i > start) names.push_back(value.substr(start, i - start));
  }
  for (std::string_view name : names) {
    const std::set<std::string> w = Words(name);
    if (AnyOf(w, words.names) || AnyOf(w, words.current)) kept.push_back(name);
  }
  if (kept.empty())
    for (std::string_view name : names)
      if (IsIdentifier(name) && DigitRun(name) < 2) {
        kept.push_back(name);
        break;
      }
  if (kept.empty()) return std::string();
  const std::string any = std::string("[^") + (quote == '"' ? "\"" : "'") + "<>]*";
  std::string out = any;
  for (std::string_view name : kept) out += PatternLiteral(name) + any;
  return out;
}

// The context of a value as a pattern, or "" when it can't anchor one (the
// value stands inside free text).
std::string Generalize(std::string_view context, bool inTag, const AnchorWords& words) {
  std::string out;
  for (size_t i = 0; i < context.size();) {
    const char c = context[i];
    if (c == '<') {
      inTag = true;
      out += '<';
      ++i;
    } else if (IsSpace(c)) {
      while (i < context.size() && IsSpace(context[i])) ++i;
      // Between attributes others may come and go.
      const bool nextAttribute =
          inTag && i < context.size() && context[i] != '>' && context[i] != '/';
      out += nextAttribute ? "\\s[^<>]*?" : "\\s*";
    } else if (inTag && IsLetter(c)) {
      size_t end = i;
      while (end < context.size() && IsNameChar(context[end])) ++end;
      const std::string_view name = context.substr(i, end - i);
      size_t after = end;
      if (IsNoiseAttribute(name) && after < context.size() && context[after] == '=') {
        // The attribute with its value goes; the gap before the next one
        // already allows for it.
        ++after;
        if (after < context.size() && (context[after] == '"' || context[after] == '\'')) {
          const size_t close = context.find(context[after], after + 1);
          if (close == std::string_view::npos) return std::string();
          after = close + 1;
        }
        while (after < context.size() && IsSpace(context[after])) ++after;
        i = after;
        continue;
      }
      out += PatternLiteral(name);
      i = end;
    } else if (IsDigit(c)) {
      while (i < context.size() && IsDigit(context[i])) ++i;
      out += "\\d+";
    } else if (c == '"' || c == '\'') {
      const size_t close = context.find(c, i + 1);
      const std::string quote = PatternLiteral(std::string_view(&c, 1));
      const std::string any = std::string("[^") + c + "<>]*";
      if (close == std::string_view::npos) {
        // The value starts inside this quoted text: only a short mark such
        // as a currency may stand before it.
        const std::string_view rest = context.substr(i + 1);
        if (rest.size() > 8 || HasDigit(rest) || std::any_of(rest.begin(), rest.end(), IsSpace))
          return std::string();
        out += quote + PatternLiteral(rest);
        break;
      }
      const std::string_view value = context.substr(i + 1, close - i - 1);
      const std::string classes = inTag && value.find(' ') != std::string_view::npos
                                      ? ClassPattern(value, words, c)
                                      : std::string();
      if (!classes.empty())
        out += quote + classes + quote;
      else if (IsIdentifier(value))
        out += quote + LabelPattern(value) + quote;
      else
        out += quote + any + quote;
      i = close + 1;
    } else if (c == '>') {
      // Attributes the anchor does not name may stand before the tag ends.
      out += inTag ? "[^<>]*?>" : ">";
      inTag = false;
      size_t end = context.find('<', i + 1);
      if (end == std::string_view::npos) end = context.size();
      std::string_view text = context.substr(i + 1, end - i - 1);
      const size_t first = text.find_first_not_of(" \t\r\n\f");
      if (first == std::string_view::npos) {
        if (!text.empty()) out += "\\s*";
      } else {
        const size_t last = text.find_last_not_of(" \t\r\n\f");
        text = text.substr(first, last - first + 1);
        // A text its element closes on is that element's content - a title,
        // a name - rather than a label before the value.
        const bool closed = context.compare(end, 2, "</") == 0;
        if (!closed && text.size() <= kLongestLabel && !HasDigit(text))
          out += "\\s*" + LabelPattern(text) + "\\s*";
        else
          out += "[^<]*";
      }
      i = end;
    } else {
      out += PatternLiteral(context.substr(i, 1));
      ++i;
    }
  }
  return out;
}

// Where an anchor may begin: a tag, a JSON key, or an attribute that names
// something. Nearest the value first.
std::vector<size_t> AnchorStarts(std::string_view context) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < context.size(); ++i) {
    const char c = context[i];
    if (c == '<') {
      starts.push_back(i);
    } else if (c == '"') {
      size_t end = i + 1;
      while (end < context.size() &&
             (IsNameChar(context[end]) || context[end] == '$' || context[end] == '@'))
        ++end;
      size_t colon = end + 1;
      while (colon < context.size() && IsSpace(context[colon])) ++colon;
      if (end > i + 1 && end < context.size() && context[end] == '"' && colon < context.size() &&
          context[colon] == ':')
        starts.push_back(i);
    } else if (IsLetter(c) && i > 0 && IsSpace(context[i - 1])) {
      size_t end = i;
      while (end < context.size() && IsNameChar(context[end])) ++end;
      if (end < context.size() && context[end] == '=' &&
          !IsNoiseAttribute(context.substr(i, end - i)))
        starts.push_back(i);
    }
  }
  std::reverse(starts.begin(), starts.end());
  return starts;
}

// Whether an anchor names something: a class, an id, an item property, a
// data attribute or a key.
bool NamesSomething(std::string_view anchor) {
  static const char* const kNames[] = {"class", "id=", "itemprop", "property",
                                       "data-", "\":", "name="};
  for (const char* name : kNames)
    for (size_t at = 0; at + std::strlen(name) <= anchor.size(); ++at)
      if (strncasecmp(anchor.data() + at, name, std::strlen(name)) == 0) return true;
  return false;
}

// The label of a value: the words of its nearest context, without quoted
// values too long to be names.
std::set<std::string> LabelWords(std::string_view anchor) {
  std::string_view label =
      anchor.size() > kLabelLength ? anchor.substr(anchor.size() - kLabelLength) : anchor;
  std::string kept;
  for (size_t i = 0; i < label.size(); ++i) {
    const char c = label[i];
    const size_t close = (c == '"' || c == '\'') ? label.find(c, i + 1) : std::string_view::npos;
    if (close != std::string_view::npos && close - i - 1 > kLongestQuotedName) {
      kept += ' ';
      i = close;
      continue;
    }
    kept += c;
  }
  return Words(kept);
}

bool Mentions(std::string_view anchor, const std::vector<std::string_view>& marks) {
  for (std::string_view mark : marks)
    for (size_t at = 0; at + mark.size() <= anchor.size(); ++at)
      if (strncasecmp(anchor.data() + at, mark.data(), mark.size()) == 0) return true;
  return false;
}

struct Check {
  int matches = 0;
  bool consistent = true;
};

// Every match of the pattern on the page, and whether each reads right.
Check CheckAllMatches(const std::string& page, const std::string& pattern,
                      const std::function<bool(const std::string&)>& readsRight) {
  Check check;
  const CRegexPattern compiled(pattern, RX_DOT_ALL | RX_IGNORE_CASE);
  for (int start = 0; start >= 0 && check.matches < 100;) {
    const CRegexMatch match = compiled.Search(page, start);
    if (!match.Found()) break;
    ++check.matches;
    const int begin = match.GroupBegin(1), end = match.GroupEnd(1);
    if (begin < 0 ||
        !readsRight(page.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin))))
      check.consistent = false;
    start = compiled.NextStart(match);
  }
  return check;
}

double Score(std::string_view anchor, const Check& check, const AnchorWords& words) {
  const std::set<std::string> label = LabelWords(anchor);
  double score = 0;
  if (AnyOf(label, words.names)) score += 3;
  if (AnyOf(label, words.current)) score += 3;
  if (AnyOf(label, words.others)) score -= 4;
  if (Mentions(anchor, words.standard)) score += 2;
  if (check.consistent) score += 2;
  score -= 0.1 * check.matches;
  score -= static_cast<double>(anchor.size()) / 100;
  return score;
}

// The best anchor for one place, or none.
bool AnchorForPlace(const std::string& page, size_t place, const std::string& capture,
                    const std::function<bool(const std::string&)>& readsRight,
                    const AnchorWords& words, Anchor& best) {
  const size_t from = place > kContextLength ? place - kContextLength : 0;
  const std::string_view context(page.data() + from, place - from);
  bool found = false;
  int tried = 0;
  for (size_t start : AnchorStarts(context)) {
    const std::string_view anchor = context.substr(start);
    if (anchor.size() > kLongestAnchor || tried >= kAnchorsPerPlace) break;
    if (anchor.size() < 4 || !NamesSomething(anchor)) continue;
    const size_t at = from + start;
    const bool inTag =
        page.rfind('<', at) != std::string::npos &&
        (page.rfind('>', at) == std::string::npos || page.rfind('<', at) > page.rfind('>', at));
    const std::string generalized = Generalize(anchor, inTag && page[at] != '<', words);
    if (generalized.empty()) continue;
    const std::string pattern = generalized + capture;
    if (!readsRight(RegexGroup1(page, pattern))) continue;
    ++tried;
    const double score = Score(anchor, CheckAllMatches(page, pattern, readsRight), words);
    if (!found || score > best.score) best = Anchor{pattern, score};
    found = true;
    // The nearest anchor that names the value is enough.
    const std::set<std::string> label = LabelWords(anchor);
    if (AnyOf(label, words.names) || AnyOf(label, words.current)) break;
  }
  return found;
}

}  // namespace

std::vector<Anchor> FindAnchors(const std::string& page, const std::vector<size_t>& places,
                                const std::string& capture,
                                const std::function<bool(const std::string&)>& readsRight,
                                const AnchorWords& words) {
  std::vector<Anchor> anchors;
  for (size_t place : places) {
    Anchor anchor;
    if (AnchorForPlace(page, place, capture, readsRight, words, anchor)) anchors.push_back(anchor);
  }
  std::stable_sort(anchors.begin(), anchors.end(),
                   [](const Anchor& a, const Anchor& b) { return a.score > b.score; });
  return anchors;
}
