// CSpider::RenderPage: the program's settings and cookies handed to the
// renderer, and its failures told the way the fetcher tells its own.
#include <chrono>

#include "base/codepage.h"
#include "engine/cookies.h"
#include "engine/proxy.h"
#include "engine/renderer.h"
#include "engine/spider.h"

std::string CSpider::RenderPage(const std::string& url) const {
  m_lastFailure = FetchFailure{};
  RenderRequest request;
  request.url = url;
  RenderResult result;
  request.proxy = ProxySetting();
  if (CAddressFilterScope::Current()) {
    result.error = RenderError::kGuarded;
  } else if (!IsValidProxy(request.proxy)) {
    // A proxy that is set but unusable is not silently skipped.
    result.error = RenderError::kBadProxy;
  } else {
    request.browser = FindBrowser();
    request.cookies = CCookieStore::ForProgram()->Matching(url);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::seconds(GetSpiderTimeouts().exchangeSeconds);
    result = ::RenderPage(request, deadline);
  }
  if (result.Ok()) return ::Utf8ToLocal(result.document);
  m_lastFailure.kind =
      result.error == RenderError::kCancelled ? FetchFailure::kCancelled : FetchFailure::kRender;
  m_lastFailure.why = RenderErrorText(result);
  return std::string();
}
