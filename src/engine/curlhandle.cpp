#include "engine/curlhandle.h"

curl_slist* AppendHeaderLines(curl_slist* list, const std::string& headers) {
  size_t start = 0;
  while (start <= headers.size()) {
    size_t end = headers.find('\n', start);
    if (end == std::string::npos) end = headers.size();
    std::string line = headers.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) list = curl_slist_append(list, line.c_str());
    start = end + 1;
  }
  return list;
}
