#pragma once

#include <string>

// One HTTP exchange on libcurl, the way every CSpider operation makes it:
// the program's user agent, the shared cookie store, redirects followed,
// HTTP/1.1 (the reply's header names keep their case), the time-outs of
// GetSpiderTimeouts and the body limit kMaxBodyBytes. Internal to the fetcher.

struct TransferRequest {
  std::string url;
  std::string headers;  // header lines, separated by CR LF
  bool post = false;
  std::string postBody;
  bool bodyOfAnyStatus = false;  // false: only a 200 reply's body is read
  bool readBody = true;
};

struct TransferReply {
  bool completed = false;  // false when the exchange failed (or the body was too large)
  bool tooLarge = false;
  bool timedOut = false;      // a time-out ended the exchange
  bool proxyRefused = false;  // the proxy setting can't be used: nothing was sent
  long status = 0;
  std::string rawHeaders;  // the final reply's status line and headers, CR LF each
  std::string body;        // what arrived, also of a failed exchange
};

// Refuses, on the calling thread, connections the filter of the innermost
// living CAddressFilterScope rejects (see spider.h).
TransferReply PerformTransfer(const TransferRequest& request);

// The value of the `index`-th instance of a header of the raw block (name
// without regard to case); false when there is no such instance.
bool QueryHeader(const std::string& rawHeaders, const std::string& name, size_t index,
                 std::string& value);
