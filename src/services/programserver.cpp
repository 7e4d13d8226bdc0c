#include "services/programserver.h"

#include "engine/spider.h"
#include "text/regex.h"

std::string AskProgramServer(HostId server, const std::string& query) {
  std::string address = HostValue(server);
  if (address.empty()) return std::string();
  return CSpider().GetPage(address + query, "utf-8");
}

std::vector<std::vector<std::string>> ReplyRecords(const std::string& reply,
                                                   const CRegexPattern& pattern, int groups) {
  std::vector<std::vector<std::string>> records;
  int start = 0;
  while (static_cast<size_t>(start) <= reply.size()) {
    CRegexMatch match = pattern.Search(reply, start);
    if (!match.Found()) break;
    std::vector<std::string> record;
    for (int n = 1; n <= groups; ++n) {
      int begin = match.GroupBegin(n);
      int end = match.GroupEnd(n);
      bool took = begin >= 0 && end >= begin && static_cast<size_t>(end) <= reply.size();
      record.push_back(took ? reply.substr(begin, end - begin) : std::string());
    }
    records.push_back(std::move(record));
    // An empty match must not hold the walk in place.
    start = match.MatchEnd() > start ? match.MatchEnd() : start + 1;
  }
  return records;
}
