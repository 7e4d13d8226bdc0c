#include "engine/pricereader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "engine/extract.h"
#include "engine/pricehints.h"
#include "engine/pricestate.h"
#include "engine/pricetext.h"

namespace {

// A visible price needs this much weight to be the page's price, and this
// much more than any other price of the page.
constexpr double kAccept = 6;
constexpr double kMargin = 2;
// The weight of the page's own statements, shown with the candidates.
constexpr double kStructuredScore = 20;
constexpr double kMetaScore = 12;
// How far (in characters of the page's text) a price may stand from the
// title or the buy button and still belong to them.
constexpr double kNearTitle = 1500;
constexpr double kNearBuy = 1500;

long Cents(double value) { return std::lround(value * 100); }

// A visible candidate with what the walk saw around it.
struct Seen {
  PriceCandidate candidate;
  unsigned hints = 0;
};

double PlaceScore(const ShownPrice& shown, const PageFacts& facts) {
  double score = 0;
  if (facts.blockBegin != kNowhere && shown.at >= facts.blockBegin && shown.at < facts.blockEnd)
    score += 3;
  if (facts.titleAt != kNowhere) {
    const double distance = static_cast<double>(shown.at) - static_cast<double>(facts.titleAt);
    if (distance >= 0 && distance <= kNearTitle)
      score += 3;
    else if (distance > kNearTitle && distance <= 3 * kNearTitle)
      score += 1;
    else if (distance < 0 && distance >= -500)
      score += 1;
    else if (std::abs(distance) > 8 * kNearTitle)
      score -= 2;
  }
  for (size_t buy : facts.buyAt)
    if (buy >= shown.at && static_cast<double>(buy - shown.at) <= kNearBuy) {
      score += 2;
      break;
    }
  return score;
}

// How much a shown price looks like the price to pay for the page's product.
double ShownScore(const ShownPrice& shown, const PriceText& text, const PageFacts& facts) {
  const unsigned hints = shown.hints;
  const unsigned near = shown.near;
  double score = text.currency.empty() ? -1 : 2;
  if (near & kHintItemPrice) score += 4;
  if (near & kHintPrice)
    score += 3;
  else if (hints & kHintPrice)
    score += 1;
  if (near & kHintCurrent) score += 1.5;
  if (hints & kHintMain) score += 2;
  if (hints & kHintWas) score -= 6;
  if (hints & (kHintSaving | kHintInstalment | kHintShipping | kHintUnit)) score -= 5;
  if (hints & kHintThreshold) score -= 3;
  if (hints & kHintApprox) score -= 4;
  if (hints & kHintOthers) score -= 6;
  for (const auto& [begin, end] : facts.chrome)
    if (shown.at >= begin && shown.at < end) {
      score -= 6;
      break;
    }
  if (hints & kHintCarousel) score -= 2;
  if (hints & kHintReview) score -= 3;
  if (hints & kHintLink) score -= 2;
  if (text.amounts > 1) score -= 1;
  if (text.range) score -= 1;
  if (shown.attribute) score -= 1;
  if (shown.text.size() > 40) score -= 1;
  return score + PlaceScore(shown, facts);
}

std::vector<Seen> ShownCandidates(const PageFacts& facts) {
  std::vector<Seen> seen;
  for (const ShownPrice& shown : facts.prices) {
    const PriceText text = ReadPriceText(
        shown.text, shown.attribute ? PriceNotation::kMachine : PriceNotation::kShown);
    if (!text.found || text.value <= 0) continue;
    Seen each;
    each.candidate = {text.value, text.currency, kFromPage, shown.text,
                      ShownScore(shown, text, facts)};
    each.hints = shown.hints;
    seen.push_back(std::move(each));
  }
  return seen;
}

// The candidates of one amount, and what speaks for it.
struct Group {
  double value = 0;
  double best = -1e9;  // the best candidate's own score
  double score = 0;    // with the support of repetition and other sources
  const Seen* top = nullptr;
  int count = 0;
  bool state = false;
  bool meta = false;
};

struct Support {
  std::vector<PriceCandidate> meta;
  std::vector<StatePrice> state;
};

// The state speaks for an amount when it is the state's first price or the
// one it names most often: states also list other products. Some shop
// systems keep prices in cents.
bool StateSays(const Support& support, double value) {
  std::map<long, int> times;
  long first = -1;
  for (const StatePrice& price : support.state) {
    if (price.other) continue;
    if (first < 0) first = Cents(price.value);
    ++times[Cents(price.value)];
  }
  long mode = -1;
  int most = 0;
  for (const auto& [cents, count] : times)
    if (count > most) {
      most = count;
      mode = cents;
    }
  for (long said : {first, mode})
    if (said >= 0 && (said == Cents(value) || said == Cents(value * 100))) return true;
  return false;
}

bool MetaSays(const Support& support, double value) {
  for (const PriceCandidate& meta : support.meta)
    if (Cents(meta.value) == Cents(value)) return true;
  return false;
}

std::vector<Group> GroupByAmount(const std::vector<Seen>& seen, const Support& support) {
  std::map<long, Group> groups;
  for (const Seen& each : seen) {
    Group& group = groups[Cents(each.candidate.value)];
    group.value = each.candidate.value;
    if (each.candidate.score >= 0) ++group.count;
    if (each.candidate.score > group.best) {
      group.best = each.candidate.score;
      group.top = &each;
    }
  }
  std::vector<Group> sorted;
  for (auto& [cents, group] : groups) {
    group.state = StateSays(support, group.value);
    group.meta = MetaSays(support, group.value);
    group.score =
        group.best + (group.count > 1 ? 0.5 : 0) + (group.state ? 2 : 0) + (group.meta ? 2 : 0);
    sorted.push_back(group);
  }
  std::sort(sorted.begin(), sorted.end(),
            [](const Group& a, const Group& b) { return a.score > b.score; });
  return sorted;
}

// A statement of the page about its price (schema.org data, meta tags).
bool Statement(const std::string& written, bool shown, const char* source, double score,
               PriceCandidate& candidate) {
  const PriceText text =
      ReadPriceText(written, shown ? PriceNotation::kShown : PriceNotation::kMachine);
  if (!text.found || text.value <= 0) return false;
  candidate = {text.value, text.currency, source, written, score};
  return true;
}

std::vector<PriceCandidate> Statements(const PageFacts& facts, const FoundValues& jsonLd) {
  std::vector<PriceCandidate> statements;
  PriceCandidate candidate;
  const FoundValues& microdata = facts.sources.microdata;
  if (Statement(jsonLd.price, false, kFromJsonLd, kStructuredScore, candidate))
    statements.push_back(candidate);
  if (Statement(microdata.price, microdata.priceShown, kFromMicrodata, kStructuredScore - 1,
                candidate))
    statements.push_back(candidate);
  if (Statement(facts.sources.openGraph.price, false, kFromOpenGraph, kStructuredScore - 2,
                candidate))
    statements.push_back(candidate);
  return statements;
}

std::vector<PriceCandidate> MetaPrices(const PageFacts& facts) {
  std::vector<PriceCandidate> prices;
  PriceCandidate candidate;
  for (const auto& [name, content] : facts.metaPrices)
    if (Statement(content, false, kFromMeta, kMetaScore, candidate)) prices.push_back(candidate);
  return prices;
}

const Group* GroupOf(const std::vector<Group>& groups, double value) {
  for (const Group& group : groups)
    if (Cents(group.value) == Cents(value)) return &group;
  return nullptr;
}

// The referee: schema.org data often keeps the regular price while the page
// shows a sale. The page wins when it shows the stated price struck through
// and a lower price as the one to pay.
bool SaleBeatsStatement(const Group& sale, const Group* stated, double statedValue) {
  if (!stated || !stated->top || !sale.top || sale.value >= statedValue) return false;
  const bool statedWas = stated->top->hints & kHintWas;
  const bool saleCurrent = !(sale.top->hints & kHintWas) && sale.best >= kAccept;
  return statedWas && saleCurrent && sale.score > stated->score;
}

void Choose(PageReading& reading, double value, const std::string& source,
            const std::string& currency, const std::string& written) {
  reading.price = FormatPrice(value);
  reading.source = source;
  reading.currency = currency;
  reading.written = written;
}

}  // namespace

PageReading ReadProductPrice(const PageFacts& facts, const FoundValues& jsonLd) {
  PageReading reading;
  const std::vector<Seen> seen = ShownCandidates(facts);
  Support support;
  support.meta = MetaPrices(facts);
  support.state = ReadStatePrices(facts.scripts);
  const std::vector<Group> groups = GroupByAmount(seen, support);
  const std::vector<PriceCandidate> statements = Statements(facts, jsonLd);

  for (const Seen& each : seen) reading.candidates.push_back(each.candidate);
  for (const PriceCandidate& each : statements) reading.candidates.push_back(each);
  for (const PriceCandidate& each : support.meta) reading.candidates.push_back(each);
  for (const StatePrice& each : support.state)
    if (!each.other) reading.candidates.push_back({each.value, "", kFromState, each.key, 0});
  std::stable_sort(
      reading.candidates.begin(), reading.candidates.end(),
      [](const PriceCandidate& a, const PriceCandidate& b) { return a.score > b.score; });

  const Group* best = groups.empty() ? nullptr : &groups[0];
  if (!statements.empty()) {
    const PriceCandidate& stated = statements.front();
    if (best && SaleBeatsStatement(*best, GroupOf(groups, stated.value), stated.value))
      Choose(reading, best->value, kFromPage, best->top->candidate.currency,
             best->top->candidate.written);
    else
      Choose(reading, stated.value, stated.source, stated.currency, stated.written);
    return reading;
  }
  if (!support.meta.empty()) {
    const PriceCandidate& meta = support.meta.front();
    Choose(reading, meta.value, kFromMeta, meta.currency, meta.written);
    return reading;
  }
  if (!best || best->score < kAccept) return reading;
  if (groups.size() > 1 && best->score - groups[1].score < kMargin) return reading;
  // The source that made it: the page alone, or the page with its state.
  const char* source = best->best >= kAccept ? kFromPage : best->state ? kFromState : kFromPage;
  Choose(reading, best->value, source, best->top->candidate.currency, best->top->candidate.written);
  return reading;
}
