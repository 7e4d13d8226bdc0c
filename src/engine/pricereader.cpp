#include "engine/pricereader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>

#include "engine/extract.h"
#include "engine/pricehints.h"
#include "engine/pricestate.h"
#include "engine/pricetext.h"

namespace {

// A visible price needs this much weight to be the page's price, and this
// much more than any other price of the page; less when it is the only
// price of the page that looks like one at all.
constexpr double kAccept = 6;
constexpr double kMargin = 2;
constexpr double kAcceptAlone = 4;
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

// The places of the page a price is weighed against, sorted once so that
// a page of many prices and many buttons costs no more than sorting them.
class Places {
 public:
  explicit Places(const PageFacts& facts) : m_buy(facts.buyAt) {
    std::sort(m_buy.begin(), m_buy.end());
    std::vector<std::pair<size_t, size_t>> chrome = facts.chrome;
    std::sort(chrome.begin(), chrome.end());
    for (const auto& range : chrome)
      if (!m_chrome.empty() && range.first <= m_chrome.back().second)
        m_chrome.back().second = std::max(m_chrome.back().second, range.second);
      else
        m_chrome.push_back(range);
  }

  bool InChrome(size_t at) const {
    auto after = std::upper_bound(m_chrome.begin(), m_chrome.end(), std::make_pair(at, kNowhere));
    return after != m_chrome.begin() && at < std::prev(after)->second;
  }

  // Whether a buy button follows within `distance`.
  bool BuyFollows(size_t at, double distance) const {
    auto buy = std::lower_bound(m_buy.begin(), m_buy.end(), at);
    return buy != m_buy.end() && static_cast<double>(*buy - at) <= distance;
  }

 private:
  std::vector<size_t> m_buy;
  std::vector<std::pair<size_t, size_t>> m_chrome;  // merged, in page order
};

double PlaceScore(const ShownPrice& shown, const PageFacts& facts, const Places& places) {
  double score = 0;
  // Classified ads put the price into the title itself.
  if (facts.titleEnd != kNowhere && shown.at >= facts.titleAt && shown.at < facts.titleEnd)
    score += 2;
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
  if (places.BuyFollows(shown.at, kNearBuy)) score += 2;
  if (places.InChrome(shown.at)) score -= 6;
  return score;
}

// How much a shown price looks like the price to pay for the page's product.
double ShownScore(const ShownPrice& shown, const PriceText& text, const PageFacts& facts,
                  const Places& places) {
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
  if (hints & kHintCarousel) score -= 2;
  if (hints & kHintReview) score -= 3;
  if (hints & kHintLink) score -= 2;
  if (text.amounts > 1) score -= 1;
  if (text.range) score -= 1;
  if (shown.attribute) score -= 1;
  if (shown.text.size() > 40) score -= 1;
  return score + PlaceScore(shown, facts, places);
}

std::vector<Seen> ShownCandidates(const PageFacts& facts) {
  const Places places(facts);
  std::vector<Seen> seen;
  for (const ShownPrice& shown : facts.prices) {
    const PriceText text = ReadPriceText(
        shown.text, shown.attribute ? PriceNotation::kMachine : PriceNotation::kShown);
    if (!text.found || text.value <= 0) continue;
    Seen each;
    each.candidate = {text.value, text.currency, kFromPage, shown.text,
                      ShownScore(shown, text, facts, places)};
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

// What the page's other statements say, gathered once for every amount.
struct Support {
  std::vector<PriceCandidate> meta;
  std::vector<StatePrice> state;
  std::set<long> metaCents;
  // The state's first price and the one it names most often: states also
  // list other products.
  long stateFirst = -1;
  long stateMode = -1;

  Support(const PageFacts& facts, std::vector<PriceCandidate> metaPrices)
      : meta(std::move(metaPrices)), state(ReadStatePrices(facts.scripts)) {
    for (const PriceCandidate& each : meta) metaCents.insert(Cents(each.value));
    std::map<long, int> times;
    int most = 0;
    for (const StatePrice& price : state) {
      if (price.other) continue;
      const long cents = Cents(price.value);
      if (stateFirst < 0) stateFirst = cents;
      if (++times[cents] > most) {
        most = times[cents];
        stateMode = cents;
      }
    }
  }

  // Some shop systems keep prices in cents.
  bool StateSays(double value) const {
    for (long said : {stateFirst, stateMode})
      if (said >= 0 && (said == Cents(value) || said == Cents(value * 100))) return true;
    return false;
  }
  bool MetaSays(double value) const { return metaCents.count(Cents(value)) > 0; }
};

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
    group.state = support.StateSays(group.value);
    group.meta = support.MetaSays(group.value);
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
  const Support support(facts, MetaPrices(facts));
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
  if (!best) return reading;
  const bool alone = groups.size() == 1 || groups[1].score <= 0;
  if (best->score < (alone ? kAcceptAlone : kAccept)) return reading;
  if (!alone && best->score - groups[1].score < kMargin) return reading;
  // The source that made it: the page alone, or the page with its state.
  const char* source = best->best >= kAccept || !best->state ? kFromPage : kFromState;
  Choose(reading, best->value, source, best->top->candidate.currency, best->top->candidate.written);
  return reading;
}
