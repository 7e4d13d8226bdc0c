#include "updater/download.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <curl/curl.h>
#include <zlib.h>

#include "base/stringtable.h"
#include "engine/cookies.h"
#include "engine/curlhandle.h"
#include "engine/proxy.h"
#include "engine/spider.h"

namespace {

// Inflates a gzip body as it arrives, handing the output on in blocks.
class GzipStream {
 public:
  GzipStream() { m_ready = inflateInit2(&m_stream, 16 + MAX_WBITS) == Z_OK; }
  ~GzipStream() {
    if (m_ready) inflateEnd(&m_stream);
  }
  GzipStream(const GzipStream&) = delete;
  GzipStream& operator=(const GzipStream&) = delete;

  // False when the data is not gzip, goes on after the stream's end, or the
  // receiver refused a block (then `receiverStopped` is set).
  template <typename Receive>
  bool Feed(const char* data, size_t size, Receive&& receive, bool& receiverStopped) {
    if (!m_ready) return false;
    m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    m_stream.avail_in = static_cast<uInt>(size);
    while (m_stream.avail_in > 0) {
      if (m_ended) return false;
      char out[kDownloadBlockBytes];
      m_stream.next_out = reinterpret_cast<Bytef*>(out);
      m_stream.avail_out = sizeof out;
      int code = inflate(&m_stream, Z_NO_FLUSH);
      if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR) return false;
      m_ended = code == Z_STREAM_END;
      size_t produced = sizeof out - m_stream.avail_out;
      if (produced > 0 && !receive(out, produced)) {
        receiverStopped = true;
        return false;
      }
      if (code == Z_BUF_ERROR && produced == 0) return false;
    }
    return true;
  }
  bool Ended() const { return m_ended; }

 private:
  z_stream m_stream{};
  bool m_ready = false;
  bool m_ended = false;
};

struct Exchange {
  const HttpGetRequest* request;
  HttpGetResult* result;
  CURL* curl;
  bool skippedBody = false;  // a reply other than 200: its body is not wanted
  bool receiverStopped = false;
  std::unique_ptr<GzipStream> gzip;  // set once a gzip body starts
  bool brokenGzip = false;
};

// Whether the final reply's headers name gzip as its Content-Encoding.
bool SaysGzip(const std::string& rawHeaders) {
  std::string lower;
  for (char c : rawHeaders)
    if (c != ' ' && c != '\t')
      lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* encoding : {"\ncontent-encoding:gzip\r", "\ncontent-encoding:x-gzip\r"})
    if (lower.find(encoding) != std::string::npos) return true;
  return false;
}

size_t OnHeader(char* data, size_t, size_t size, void* user) {
  auto* exchange = static_cast<Exchange*>(user);
  HttpGetResult& result = *exchange->result;
  if (size >= 5 && strncasecmp(data, "HTTP/", 5) == 0) {
    // A new reply (after a redirect or an interim 100): only the last counts.
    result.rawHeaders.clear();
    const char* space = static_cast<const char*>(std::memchr(data, ' ', size));
    result.status = space ? std::strtol(space + 1, nullptr, 10) : 0;
  }
  result.rawHeaders.append(data, size);
  return size;
}

size_t OnBody(char* data, size_t, size_t size, void* user) {
  auto* exchange = static_cast<Exchange*>(user);
  if (exchange->result->status != 200) {
    exchange->skippedBody = true;
    return 0;
  }
  curl_off_t length = -1;
  if (curl_easy_getinfo(exchange->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK)
    length = -1;
  if (exchange->request->decodeGzip && !exchange->gzip && SaysGzip(exchange->result->rawHeaders))
    exchange->gzip = std::make_unique<GzipStream>();
  if (exchange->gzip) {
    // The length on the wire says nothing about the decoded size.
    auto receive = [exchange](const char* block, size_t blockSize) {
      return !exchange->request->onBody || exchange->request->onBody(block, blockSize, -1);
    };
    if (exchange->gzip->Feed(data, size, receive, exchange->receiverStopped)) return size;
    exchange->brokenGzip = !exchange->receiverStopped;
    return 0;
  }
  for (size_t done = 0; done < size; done += kDownloadBlockBytes) {
    size_t block = std::min(kDownloadBlockBytes, size - done);
    if (exchange->request->onBody &&
        !exchange->request->onBody(data + done, block, static_cast<int64_t>(length))) {
      exchange->receiverStopped = true;
      return 0;
    }
  }
  return size;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* exchange = static_cast<Exchange*>(user);
  const std::atomic<bool>* cancel = exchange->request->cancel;
  return cancel && cancel->load() ? 1 : 0;
}

}  // namespace

HttpGetResult HttpGet(const HttpGetRequest& request) {
  HttpGetResult result;
  InitCurlOnce();
  CurlEasy curl(curl_easy_init());
  if (!curl) {
    result.error = "curl_easy_init failed";
    return result;
  }
  CurlHeaderList headers(AppendHeaderLines(nullptr, request.headers));
  Exchange exchange{&request, &result, curl.get(), false, false, nullptr, false};
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http");
  curl_easy_setopt(c, CURLOPT_USERAGENT, kBrowserAgent);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_BUFFERSIZE, static_cast<long>(kDownloadBlockBytes));
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, request.connectMilliseconds);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, request.lowSpeedSeconds);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, request.exchangeSeconds * 1000L);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &exchange);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &exchange);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &exchange);
  if (!ApplyProxy(c)) {
    result.error = LoadStringUtf8(IDS_PROXY_INVALID);
    return result;
  }
  CURLcode code = curl_easy_perform(c);
  bool skipped = code == CURLE_WRITE_ERROR && exchange.skippedBody;
  result.completed = code == CURLE_OK || skipped;
  if (result.completed && exchange.gzip && !exchange.gzip->Ended()) {
    result.completed = false;
    exchange.brokenGzip = true;
  }
  if (!result.completed) {
    if (exchange.brokenGzip)
      result.error = "the gzip body does not decode to its end";
    else if (exchange.receiverStopped)
      result.error = "the received data could not be stored";
    else
      result.error = errorText[0] ? errorText : curl_easy_strerror(code);
  }
  return result;
}
