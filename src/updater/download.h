#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The updater's own HTTP GET: one libcurl easy handle per request, the body
// handed on in blocks as it arrives so that a program file never has to fit
// in memory. No Accept-Encoding is asked of libcurl; the caller decodes.

inline constexpr size_t kDownloadBlockBytes = 2048;

struct HttpGetRequest {
  std::string url;
  std::string headers;  // header lines separated by CR LF, or empty
  bool followRedirects = true;
  long connectMilliseconds = 60000;
  long lowSpeedSeconds = 60;
  // The whole exchange, body included: a server trickling a byte now and
  // then passes the low-speed abort.
  long exchangeSeconds = 60;
  // When the reply says Content-Encoding gzip (or x-gzip), `onBody` receives
  // the decoded body, and a body that does not decode to its end fails the
  // exchange.
  bool decodeGzip = false;
  // Set from another thread to abort the exchange as an internet error.
  const std::atomic<bool>* cancel = nullptr;
  // Receives each block (at most kDownloadBlockBytes) of a status-200 body
  // and the Content-Length (-1 when the reply has none); false stops the
  // transfer, which then counts as failed.
  std::function<bool(const char* data, size_t size, int64_t contentLength)> onBody;
};

struct HttpGetResult {
  // The reply arrived whole: no connection or protocol error, no body cut
  // short of its Content-Length, no stop by the receiver or by `cancel`. A
  // reply other than 200 completes too, but its body is never handed on.
  bool completed = false;
  long status = 0;
  std::string rawHeaders;  // the final reply's status line and headers
  std::string error;       // what went wrong, when not completed
};

HttpGetResult HttpGet(const HttpGetRequest& request);
