#include "engine/renderer.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "base/ini.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "engine/browser_process.h"
#include "engine/render_session.h"

namespace {

using Clock = std::chrono::steady_clock;

std::mutex g_limitsLock;
RenderLimits g_limits;

// The turns: at most kMaxConcurrentRenders browsers at once in a process.
std::mutex g_turnLock;
std::condition_variable g_turnFreed;
int g_running = 0;

constexpr const char* kDefaultBrowser = "chromium-headless-shell";

// The browser makes no connection of its own (updates, metrics, sync, safe
// browsing lists ...): only the page's requests leave it. Pictures are not
// loaded; they hold no text and would only hold up the page.
const char* const kBrowserFlags[] = {
    "--remote-debugging-pipe",
    "--disable-gpu",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-extensions",
    "--disable-default-apps",
    "--disable-breakpad",
    "--disable-domain-reliability",
    "--disable-client-side-phishing-detection",
    "--disable-quic",
    "--disable-dev-shm-usage",
    "--disable-features=Translate,OptimizationHints,MediaRouter,AutofillServerCommunication,"
    "CertificateTransparencyComponentUpdater",
    "--no-first-run",
    "--no-default-browser-check",
    "--no-pings",
    "--metrics-recording-only",
    "--mute-audio",
    "--hide-scrollbars",
    "--blink-settings=imagesEnabled=false",
    "--lang=zh-CN",
};

std::vector<std::string> BrowserArguments(const std::string& proxy) {
  std::vector<std::string> arguments(std::begin(kBrowserFlags), std::end(kBrowserFlags));
  // The sandbox needs an unprivileged user; as root the browser refuses to
  // start with it, and without it the zygote processes only cost time.
  if (geteuid() == 0) {
    arguments.push_back("--no-sandbox");
    arguments.push_back("--no-zygote");
  }
  if (!proxy.empty()) arguments.push_back("--proxy-server=" + proxy);
  return arguments;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string SearchPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t colon = folders.find(':', start);
    if (colon == std::string::npos) colon = folders.size();
    std::string folder = folders.substr(start, colon - start);
    if (folder.empty()) folder = ".";
    if (IsExecutableFile(folder + "/" + name)) return folder + "/" + name;
    start = colon + 1;
  }
  return std::string();
}

bool IsWebLink(const std::string& url) {
  return (url.size() > 7 && strncasecmp(url.c_str(), "http://", 7) == 0) ||
         (url.size() > 8 && strncasecmp(url.c_str(), "https://", 8) == 0);
}

enum class Turn { kTaken, kTimedOut, kCancelled };

Turn TakeTurn(Clock::time_point deadline) {
  std::unique_lock lock(g_turnLock);
  const bool free = g_turnFreed.wait_until(
      lock, deadline, [] { return BrowsersCancelled() || g_running < kMaxConcurrentRenders; });
  if (BrowsersCancelled()) return Turn::kCancelled;
  if (!free) return Turn::kTimedOut;
  ++g_running;
  return Turn::kTaken;
}

void GiveBackTurn() {
  {
    std::lock_guard lock(g_turnLock);
    --g_running;
  }
  g_turnFreed.notify_one();
}

// The browser says so on its error output when a process ran out of memory.
bool ReportsOutOfMemory(const std::string& errorOutput) {
  return errorOutput.find("OOM") != std::string::npos ||
         errorOutput.find("ut of memory") != std::string::npos;
}

// Allocations fail at the cap in ways that do not all print why, so a process
// seen holding three quarters of the cap (an idle browser holds a quarter of
// 1 GB) died of it. Otherwise the browser's report decides; the page reports
// its process gone before the browser has written why, so that report gets a
// moment to arrive.
bool DiedOfMemory(const CBrowserProcess& browser, int memoryMegabytes) {
  const long long capBytes = static_cast<long long>(memoryMegabytes) << 20;
  if (browser.PeakDataBytes() * 4 > capBytes * 3) return true;
  const auto giveUp = Clock::now() + std::chrono::seconds(1);
  while (!ReportsOutOfMemory(browser.ErrorOutputTail())) {
    if (Clock::now() >= giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

void RenderInBrowser(const RenderRequest& request, Clock::time_point deadline,
                     RenderResult& result) {
  const RenderLimits limits = GetRenderLimits();
  CBrowserProcess browser;
  if (!browser.Start(request.browser, BrowserArguments(BrowserProxy(request.proxy)),
                     limits.memoryMegabytes)) {
    result.error = RenderError::kStartFailed;
    return;
  }
  CRenderSession session(browser, deadline, limits.virtualBudgetMs);
  session.Render(request, result);
  const bool crashed =
      result.error == RenderError::kCrashed || result.error == RenderError::kBrowserExited;
  if (crashed && DiedOfMemory(browser, limits.memoryMegabytes)) {
    result.error = RenderError::kOutOfMemory;
    result.detail = std::to_string(limits.memoryMegabytes) + " MB";
  }
  browser.Stop();
}

}  // namespace

RenderLimits GetRenderLimits() {
  std::lock_guard lock(g_limitsLock);
  return g_limits;
}

void SetRenderLimits(const RenderLimits& limits) {
  std::lock_guard lock(g_limitsLock);
  g_limits = limits;
}

std::string FindBrowser() {
  std::string browser = IniGetString(ProgramFile("config.ini"), "Base", "Browser", "");
  if (browser.empty()) browser = kDefaultBrowser;
  if (browser.find('/') == std::string::npos) return SearchPath(browser);
  return IsExecutableFile(browser) ? browser : std::string();
}

std::string BrowserProxy(const std::string& proxy) {
  if (strncasecmp(proxy.c_str(), "socks5h://", 10) == 0) return "socks5://" + proxy.substr(10);
  return proxy;
}

RenderResult RenderPage(const RenderRequest& request, Clock::time_point deadline) {
  const Clock::time_point start = Clock::now();
  RenderResult result;
  if (!IsWebLink(request.url)) {
    result.error = RenderError::kNotWeb;
  } else if (request.browser.empty()) {
    result.error = RenderError::kNoBrowser;
  } else {
    switch (TakeTurn(deadline)) {
      case Turn::kTaken:
        RenderInBrowser(request, deadline, result);
        GiveBackTurn();
        break;
      case Turn::kTimedOut:
        result.error = RenderError::kTimedOut;
        break;
      case Turn::kCancelled:
        break;
    }
  }
  if (!result.Ok() && BrowsersCancelled()) result.error = RenderError::kCancelled;
  if (!result.Ok()) result.document.clear();
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return result;
}

std::string RenderErrorText(const RenderResult& result) {
  unsigned id = 0;
  switch (result.error) {
    case RenderError::kNone:
      return std::string();
    case RenderError::kStatus:
      return "HTTP " + result.detail;
    case RenderError::kNoBrowser:
      id = IDS_RENDER_NO_BROWSER;
      break;
    case RenderError::kNotWeb:
      id = IDS_RENDER_NOT_WEB;
      break;
    case RenderError::kBadProxy:
      id = IDS_RENDER_BAD_PROXY;
      break;
    case RenderError::kGuarded:
      id = IDS_RENDER_GUARDED;
      break;
    case RenderError::kStartFailed:
      id = IDS_RENDER_START_FAILED;
      break;
    case RenderError::kTimedOut:
      id = IDS_RENDER_TIMED_OUT;
      break;
    case RenderError::kOutOfMemory:
      id = IDS_RENDER_OUT_OF_MEMORY;
      break;
    case RenderError::kCrashed:
      id = IDS_RENDER_CRASHED;
      break;
    case RenderError::kBrowserExited:
      id = IDS_RENDER_BROWSER_EXITED;
      break;
    case RenderError::kLoadFailed:
      id = IDS_RENDER_LOAD_FAILED;
      break;
    case RenderError::kLeftWeb:
      id = IDS_RENDER_LEFT_WEB;
      break;
    case RenderError::kTooLarge:
      id = IDS_RENDER_TOO_LARGE;
      break;
    case RenderError::kCancelled:
      id = IDS_RENDER_CANCELLED;
      break;
  }
  const std::string text = LoadString(id);
  return result.detail.empty() ? text : text + " (" + result.detail + ")";
}

void CancelRenders() {
  CancelBrowsers();
  std::lock_guard lock(g_turnLock);
  g_turnFreed.notify_all();
}
