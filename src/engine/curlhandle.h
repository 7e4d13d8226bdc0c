#pragma once

#include <memory>
#include <string>

#include <curl/curl.h>

// Owners of libcurl's handles, so that every early return releases them.
struct CurlEasyDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlHeaderList = std::unique_ptr<curl_slist, CurlListDeleter>;

// Appends every non-empty line of `headers` ("\n" or "\r\n" between lines)
// to `list` and returns the list.
curl_slist* AppendHeaderLines(curl_slist* list, const std::string& headers);
