#include "engine/spider.h"

#include <strings.h>

#include <cstdlib>
#include <ctime>

#include <curl/curl.h>

#include "base/codepage.h"
#include "base/files.h"
#include "engine/cookies.h"
#include "engine/inflate.h"
#include "engine/spider_transfer.h"
#include "text/regex.h"

namespace {

enum class Encoding { kNone, kGzip, kDeflate };

std::string RequestHeaders(const std::string& extra, const std::string& referer) {
  std::string headers = kBaseHeaders;
  if (!extra.empty()) headers += extra;
  if (!referer.empty()) headers += "\r\nReferer: " + referer;
  return headers;
}

// Header names and these values are case-insensitive: "content-encoding:
// GZIP" is a gzip body too. Compiled once, not for every reply.
bool NamesGzip(const std::string& headers) {
  static const CRegexPattern pattern("Content-Encoding:\\s*gzip", RX_IGNORE_CASE);
  return pattern.Search(headers).Found();
}

bool NamesDeflate(const std::string& headers) {
  static const CRegexPattern pattern("Content-Encoding:\\s*deflate", RX_IGNORE_CASE);
  return pattern.Search(headers).Found();
}

// The charset a Content-Type names, without quotes or blanks; "utf8" is
// "utf-8". Empty when it names none.
std::string NamedCharset(const std::string& contentType) {
  static const CRegexPattern charset("charset=(.*?)$", RX_DOT_ALL | RX_IGNORE_CASE);
  std::string named = PatternGroup1(contentType, charset);
  std::string clean;
  for (char c : named)
    if (c != '"' && c != '\'' && c != ' ' && c != '\t') clean += c;
  if (strcasecmp(clean.c_str(), "utf8") == 0) clean = "utf-8";
  return clean;
}

// Content-Length as the page fetcher reads it: decimal text through atoi;
// missing or "0" means the body runs to the end of the reply.
bool HasContentLength(const std::string& rawHeaders, int& length) {
  std::string text;
  QueryHeader(rawHeaders, "Content-Length", 0, text);
  length = std::atoi(text.c_str());
  return length != 0;
}

// The body's encoding: with a Content-Length both gzip and deflate are
// recognised, without one only gzip.
Encoding BodyEncoding(const std::string& rawHeaders, bool withLength, bool deflateToo) {
  if (NamesGzip(rawHeaders)) return Encoding::kGzip;
  if (withLength && deflateToo && NamesDeflate(rawHeaders)) return Encoding::kDeflate;
  return Encoding::kNone;
}

// Decodes a received body; false when the result would exceed the body limit.
bool DecodeBody(const TransferReply& reply, bool deflateToo, std::string& body) {
  int length = 0;
  bool withLength = HasContentLength(reply.rawHeaders, length);
  if (withLength && length < 0) return false;
  switch (BodyEncoding(reply.rawHeaders, withLength, deflateToo)) {
    case Encoding::kGzip:
      body = Gunzip(reply.body, kMaxBodyBytes + 1);
      break;
    case Encoding::kDeflate:
      body = InflateBody(reply.body, kMaxBodyBytes + 1);
      break;
    case Encoding::kNone:
      body = reply.body;
      break;
  }
  return body.size() <= kMaxBodyBytes;
}

TransferReply Fetch(const std::string& url, const std::string& headers, const std::string& referer,
                    bool readBody) {
  TransferRequest request;
  request.url = url;
  request.headers = RequestHeaders(headers, referer);
  request.readBody = readBody;
  return PerformTransfer(request);
}

std::string ToLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The host and the default cookie path (the folder of the link's path).
bool LinkHostAndFolder(const std::string& url, std::string& host, std::string& folder) {
  CURLU* parts = curl_url();
  if (!parts) return false;
  bool ok = curl_url_set(parts, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
  char* hostText = nullptr;
  char* pathText = nullptr;
  ok = ok && curl_url_get(parts, CURLUPART_HOST, &hostText, 0) == CURLUE_OK;
  if (ok && curl_url_get(parts, CURLUPART_PATH, &pathText, 0) != CURLUE_OK) pathText = nullptr;
  if (ok) {
    host = ToLower(hostText);
    std::string path = pathText ? pathText : "/";
    size_t slash = path.rfind('/');
    folder = slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
  }
  curl_free(hostText);
  curl_free(pathText);
  curl_url_cleanup(parts);
  return ok;
}

// A cookie for a link, from a name and a value that may carry attributes the
// way a Set-Cookie header does.
bool ParseCookie(const std::string& url, const std::string& name, const std::string& value,
                 CookieRecord& cookie) {
  if (!LinkHostAndFolder(url, cookie.domain, cookie.path)) return false;
  std::string text = name.empty() ? value : name + "=" + value;
  size_t end = text.find(';');
  std::string pair = text.substr(0, end);
  size_t equals = pair.find('=');
  if (equals == std::string::npos) return false;
  cookie.name = Trim(pair.substr(0, equals));
  cookie.value = Trim(pair.substr(equals + 1));
  while (end != std::string::npos) {
    size_t next = text.find(';', end + 1);
    std::string attribute = Trim(text.substr(end + 1, next - end - 1));
    end = next;
    size_t eq = attribute.find('=');
    std::string key = ToLower(Trim(attribute.substr(0, eq)));
    std::string argument = eq == std::string::npos ? std::string() : Trim(attribute.substr(eq + 1));
    if (key == "expires") {
      time_t when = curl_getdate(argument.c_str(), nullptr);
      if (when > 0) cookie.expires = when;
    } else if (key == "max-age") {
      long long seconds = std::atoll(argument.c_str());
      cookie.expires = seconds > 0 ? std::time(nullptr) + seconds : 1;
    } else if (key == "path" && !argument.empty() && argument[0] == '/') {
      cookie.path = argument;
    } else if (key == "domain" && !argument.empty()) {
      std::string domain = ToLower(argument[0] == '.' ? argument.substr(1) : argument);
      // A cookie may only be widened to a domain the link's host belongs to.
      bool own = cookie.domain == domain ||
                 (cookie.domain.size() > domain.size() &&
                  cookie.domain.compare(cookie.domain.size() - domain.size(), domain.size(),
                                        domain) == 0 &&
                  cookie.domain[cookie.domain.size() - domain.size() - 1] == '.');
      if (!own) return false;
      cookie.domain = domain;
      cookie.includeSubdomains = true;
    } else if (key == "secure") {
      cookie.secure = true;
    }
  }
  return true;
}

}  // namespace

CSpider::~CSpider() = default;

std::string CSpider::GetPage(const std::string& url, const std::string& charset,
                             const std::string& headers, const std::string& referer) const {
  std::string contentType;
  std::string body = GetPageBytes(url, contentType, headers, referer);
  std::string named = NamedCharset(contentType);
  std::string actual =
      !named.empty() && strcasecmp(named.c_str(), charset.c_str()) != 0 ? named : charset;
  size_t zero = body.find('\0');
  if (zero != std::string::npos) body.resize(zero);
  if (strcasecmp(actual.c_str(), "utf-8") == 0) Utf8ToLocal(body);
  return body;
}

std::string CSpider::GetPageBytes(const std::string& url, std::string& contentType,
                                  const std::string& headers, const std::string& referer) const {
  m_lastFailure = FetchFailure{};
  contentType.clear();
  if (url.empty()) return std::string();
  TransferReply reply = Fetch(url, headers, referer, true);
  if (!reply.completed) {
    m_lastFailure.kind = reply.proxyRefused ? FetchFailure::kProxy
                         : reply.timedOut   ? FetchFailure::kTimedOut
                                            : FetchFailure::kNoReply;
    return std::string();
  }
  if (reply.status != 200) {
    m_lastFailure = FetchFailure{FetchFailure::kStatus, reply.status, {}};
    return std::string();
  }
  QueryHeader(reply.rawHeaders, "Content-Type", 0, contentType);
  std::string body;
  if (!DecodeBody(reply, true, body)) return std::string();
  return body;
}

std::string CSpider::PostPage(const std::string& url, const std::string& body,
                              const std::string& headers) const {
  if (url.size() <= 8 || strncasecmp(url.c_str(), "http://", 7) != 0) return std::string();
  std::string host;
  std::string folder;
  if (!LinkHostAndFolder(url, host, folder)) return std::string();
  TransferRequest request;
  request.url = url;
  request.headers = headers;
  request.post = true;
  request.postBody = body;
  request.bodyOfAnyStatus = true;
  TransferReply reply = PerformTransfer(request);
  if (reply.tooLarge) return std::string();
  std::string text;
  text.reserve(reply.body.size());
  for (char c : reply.body)
    if (c != '\n') text += c;
  return text;
}

bool CSpider::DownloadFile(const std::string& url, const std::string& path,
                           const std::string& referer) const {
  if (url.empty()) return false;
  TransferReply reply = Fetch(url, std::string(), referer, true);
  if (!reply.completed) return false;
  if (reply.status != 200) return true;
  std::string body;
  if (!DecodeBody(reply, false, body)) return false;
  // A gzip body cut short decodes to part of the file: not the file.
  if (BodyEncoding(reply.rawHeaders, true, false) == Encoding::kGzip && !GzipEndsWhole(reply.body))
    return false;
  return WriteFileAtomic(path, body);
}

std::string CSpider::FetchCookies(const std::string& url, const std::string& headers,
                                  const std::string& referer) const {
  if (url.empty()) return std::string();
  TransferReply reply = Fetch(url, headers, referer, false);
  if (!reply.completed || reply.status != 200) return std::string();
  std::string cookies;
  std::string value;
  for (size_t index = 0; QueryHeader(reply.rawHeaders, "Set-Cookie", index, value); ++index)
    cookies += RegexGroup1(value, "^(.*?;)");
  return cookies;
}

std::string CSpider::GetCookie(const std::string& url, const std::string& name) const {
  std::string text;
  for (const CookieRecord& cookie : CCookieStore::ForProgram()->Matching(url)) {
    if (!name.empty() && cookie.name != name) continue;
    if (!text.empty()) text += "; ";
    text += cookie.name + "=" + cookie.value;
  }
  return text;
}

bool CSpider::SetCookie(const std::string& url, const std::string& name,
                        const std::string& value) const {
  CookieRecord cookie;
  if (!ParseCookie(url, name, value, cookie)) return false;
  std::shared_ptr<CCookieStore> store = CCookieStore::ForProgram();
  if (!store->Add(cookie)) return false;
  store->Save();
  return true;
}

void CSpider::Utf8ToLocal(std::string& text) { text = ::Utf8ToLocal(text); }

std::string RegexGroup1(const std::string& text, const std::string& pattern) {
  return PatternGroup1(text, CRegexPattern(pattern, RX_DOT_ALL | RX_IGNORE_CASE));
}

std::string PatternGroup1(const std::string& text, const CRegexPattern& pattern) {
  CRegexMatch match = pattern.Search(text);
  if (!match.Found() || match.HighestGroup() < 1) return std::string();
  int begin = match.GroupBegin(1);
  int end = match.GroupEnd(1);
  if (begin < 0 || end < begin || static_cast<size_t>(end) > text.size()) return std::string();
  return text.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin));
}
