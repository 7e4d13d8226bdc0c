#pragma once

#include <chrono>
#include <functional>
#include <string>

// The program's HTTP client: shop pages, the shops' price and stock replies,
// file downloads, form posts and the shared cookie store. Every call opens and
// closes its own transfer, so one object may serve any number of calls and any
// thread may create its own. Failures are results (empty text, false).
//
// Texts are 8-bit strings; pages come back in the local code page.

// The user agent of every request.
inline constexpr const char* kBrowserAgent =
    "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; .NET4.0C; .NET4.0E; .NET "
    "CLR 2.0.50727; .NET CLR 3.0.04506.648; .NET CLR 3.5.21022; .NET CLR 3.0.4506.2152; .NET CLR "
    "3.5.30729)";

// The request header block of GetPage, DownloadFile and FetchCookies: four
// lines separated by CR LF, no trailing line break.
inline constexpr const char* kBaseHeaders =
    "Accept-Encoding: gzip\r\nAccept-Language: zh-cn\r\nConnection: Keep-Alive\r\nAccept: */*";

struct sockaddr;

// While one lives, every fetch made on its thread connects only to
// addresses the filter accepts. The check is on the address about to be
// connected, after name lookup, redirects included: a DNS answer can't
// smuggle in an address the filter refuses.
class CAddressFilterScope {
 public:
  using Filter = std::function<bool(const sockaddr* address)>;
  explicit CAddressFilterScope(Filter filter);
  ~CAddressFilterScope();
  CAddressFilterScope(const CAddressFilterScope&) = delete;
  CAddressFilterScope& operator=(const CAddressFilterScope&) = delete;

  // The filter in force on this thread, or null.
  static const Filter* Current();

 private:
  Filter m_filter;
  const Filter* m_outer;
};

// Every request made on this thread while the scope lives ends by the
// deadline: a tracking pass's page and the step requests of its rules share
// one budget, so requests that each trickle just under their own limit can't
// add up. A request due after the deadline is not sent and fails as a
// time-out. Scopes nest; the earliest deadline holds.
class CDeadlineScope {
 public:
  explicit CDeadlineScope(std::chrono::milliseconds budget);
  ~CDeadlineScope();
  CDeadlineScope(const CDeadlineScope&) = delete;
  CDeadlineScope& operator=(const CDeadlineScope&) = delete;

  // Whether a request of this scope was refused or cut short by the deadline.
  bool Cut() const { return m_cut; }

  // The innermost scope on this thread, or null.
  static CDeadlineScope* Current();
  // What is left of the time (0 once it is over).
  std::chrono::milliseconds Left() const;
  // Said by the fetcher when the deadline ended a request; an inner scope
  // tells its outer one as it goes.
  void MarkCut() { m_cut = true; }

 private:
  std::chrono::steady_clock::time_point m_deadline;
  CDeadlineScope* m_outer;
  bool m_cut = false;
};

// What one tracking pass or add may take for all its requests: FetchTimeout.
std::chrono::milliseconds PassBudget();

// Why a GetPage gave no page.
struct FetchFailure {
  // kProxy: the proxy setting can't be used; kRender: the page had to be
  // drawn by the browser and was not; kCancelled: that render ended because
  // the program is quitting.
  enum Kind { kNone, kTimedOut, kNoReply, kStatus, kProxy, kRender, kCancelled } kind = kNone;
  long status = 0;  // the HTTP status of kStatus
  std::string why;  // kRender: why, in the user's words (local code page)
};

class CSpider {
 public:
  CSpider() = default;
  virtual ~CSpider();

  // The body of a 200 reply in the local code page; empty on any failure.
  // `charset` is the expected character set (a shop's Encode, or "utf-8"); a
  // charset named by the reply's Content-Type wins. `headers` are extra
  // header lines, each starting with "\r\n" (or empty). The body is cut at
  // its first zero byte.
  std::string GetPage(const std::string& url, const std::string& charset,
                      const std::string& headers = std::string(),
                      const std::string& referer = std::string()) const;
  // The body of a 200 reply as it came, inflated but neither converted nor
  // cut at a zero byte, and the reply's Content-Type; empty on any failure.
  // For pages whose character set is found from the page itself.
  std::string GetPageBytes(const std::string& url, std::string& contentType,
                           const std::string& headers = std::string(),
                           const std::string& referer = std::string()) const;
  // What kept the last GetPage of this object from a page; kNone after a
  // page. Meant for an object that one thread uses (a tracking pass's own).
  FetchFailure LastFailure() const { return m_lastFailure; }

  // The page as the browser draws it (engine/renderer.h), in the local code
  // page; empty on any failure, which LastFailure() then tells. The
  // browser goes through the proxy of the settings and takes the store's
  // cookies for the link. Fetches under a CAddressFilterScope never render:
  // the browser's own connections could not be held to the filter.
  std::string RenderPage(const std::string& url) const;

  // POSTs an already form-encoded body to an http:// link (no other scheme)
  // with the given header lines (e.g. "Content-Type:
  // application/x-www-form-urlencoded"). The reply text with its line feeds
  // removed; empty when the link is refused or the request fails.
  std::string PostPage(const std::string& url, const std::string& body,
                       const std::string& headers) const;

  // Saves the body of a 200 reply (a gzip body decoded) to `path`. True when
  // the exchange ended without a failure, also for a reply other than 200
  // (then nothing is written); false for an empty link, a failed request or
  // a failed read or write.
  bool DownloadFile(const std::string& url, const std::string& path,
                    const std::string& referer = std::string()) const;

  // The leading "name=value;" of every Set-Cookie header of a 200 reply,
  // joined without separator; the body is not read. Empty on failure.
  std::string FetchCookies(const std::string& url, const std::string& headers = std::string(),
                           const std::string& referer = std::string()) const;

  // The cookies the store would send to `url`, as "a=1; b=2"; with a name,
  // only that cookie ("name=value"), or empty.
  std::string GetCookie(const std::string& url, const std::string& name = std::string()) const;

  // Stores a cookie for `url`'s host. `value` may carry attributes after a
  // ";" (expires=, max-age=, path=, domain=, secure). True when stored.
  bool SetCookie(const std::string& url, const std::string& name, const std::string& value) const;

  // Converts UTF-8 text to the local code page in place; characters the
  // local code page lacks become "?".
  static void Utf8ToLocal(std::string& text);

 private:
  mutable FetchFailure m_lastFailure;
};

// Applies a rule pattern: compiles it with RX_DOT_ALL | RX_IGNORE_CASE,
// searches `text` from its start and returns group 1 of the first match;
// empty when nothing matches or group 1 took no part.
std::string RegexGroup1(const std::string& text, const std::string& pattern);
// The same with a pattern compiled already.
class CRegexPattern;
std::string PatternGroup1(const std::string& text, const CRegexPattern& pattern);

// Transfer limits. The defaults are those a desktop user expects (give up a
// connect after 60 s, a transfer when less than 1 byte/s arrives for 60 s,
// and any exchange, redirects and body included, after 60 s in all); tests
// shorten them so that a silent server ends a test quickly.
struct SpiderTimeouts {
  long connectMilliseconds = 60000;
  long lowSpeedSeconds = 60;  // at least 1
  long exchangeSeconds = 60;  // at least 1
};
SpiderTimeouts GetSpiderTimeouts();
void SetSpiderTimeouts(const SpiderTimeouts& timeouts);
// Takes the whole-exchange deadline from "FetchTimeout" (seconds) of section
// "Base" of the program directory's config.ini; 60 when missing or not a
// positive number. The window, vantrelctl and the server call it at start.
void LoadFetchTimeout();

// The largest body, before or after inflation, that a request accepts; a
// larger one gives the empty (or false) result rather than exhausting memory.
inline constexpr size_t kMaxBodyBytes = 64u * 1024 * 1024;
