#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "engine/cookies.h"

// Pages that draw their name and price with scripts: the renderer loads the
// link in chromium-headless-shell and hands back the document as the page's
// scripts left it.
//
// The browser is driven through the DevTools protocol on a pipe, not through
// --dump-dom: the program's cookies must go with the request, the main
// document's status and failures must be told apart, and a pipe opens no port
// that another local process could connect to. The page runs on virtual time
// with a budget: its timers fire at once, the clock stands still while its
// own requests are under way, and the page counts as drawn when the budget
// is spent, so a price that a timer writes after two seconds costs no two
// seconds.

enum class RenderError {
  kNone,
  kNoBrowser,      // chromium-headless-shell is not installed (or "Browser" names nothing)
  kNotWeb,         // the link is no http or https link
  kBadProxy,       // "Proxy" of section "Base" is no proxy link
  kGuarded,        // fetches here connect only to vetted addresses; the browser can't
  kStartFailed,    // the browser could not be started
  kTimedOut,       // not drawn by the deadline (FetchTimeout)
  kOutOfMemory,    // a process of the browser hit the memory cap
  kCrashed,        // the page's process died otherwise
  kBrowserExited,  // the browser ended or broke the protocol
  kLoadFailed,     // the browser could not load the link (detail: its error)
  kStatus,         // the page came with a status other than 200 (detail: the status)
  kLeftWeb,        // the page went to an address that is neither http nor https
  kTooLarge,       // the document exceeds the page size limit
  kCancelled,      // the program is quitting
};

struct RenderRequest {
  std::string url;
  std::string browser;  // the program to run
  std::string proxy;    // a proxy link for the browser, or ""
  std::vector<CookieRecord> cookies;
};

struct RenderResult {
  RenderError error = RenderError::kNone;
  std::string document;  // UTF-8; the whole document as serialised by the browser
  std::string detail;    // the browser's error text, or the status
  double seconds = 0;    // wall time of the whole render

  bool Ok() const { return error == RenderError::kNone; }
};

// Limits of every render; tests lower them.
struct RenderLimits {
  int memoryMegabytes = 1024;  // data segment of each browser process
  int virtualBudgetMs = 5000;  // page time given to timers once the page is loaded
};
RenderLimits GetRenderLimits();
void SetRenderLimits(const RenderLimits& limits);

// At most this many renders run at once in a process; others wait.
inline constexpr int kMaxConcurrentRenders = 2;

// The browser to run: "Browser" of section "Base" of config.ini, else
// chromium-headless-shell; a name without "/" is looked up in PATH. "" when
// that names no executable file.
std::string FindBrowser();

// Renders the link; the whole render, waiting for a turn included, ends by
// `deadline`, and every process of the browser is gone when it returns.
RenderResult RenderPage(const RenderRequest& request,
                        std::chrono::steady_clock::time_point deadline);

// Ends the renders under way and refuses new ones: the program is quitting.
// They fail with kCancelled.
void CancelRenders();

// Why a render failed, in the user's words (local code page).
std::string RenderErrorText(const RenderResult& result);

// The proxy link as the browser takes it ("socks5h" is "socks5" there,
// which resolves names through the proxy anyway).
std::string BrowserProxy(const std::string& proxy);
