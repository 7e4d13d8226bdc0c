#pragma once

#include <chrono>
#include <map>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "engine/browser_process.h"
#include "engine/renderer.h"

// The DevTools conversation that renders one page in a started browser;
// internal to the renderer. Every wait ends by the deadline.
class CRenderSession {
 public:
  using Clock = std::chrono::steady_clock;

  CRenderSession(CBrowserProcess& browser, Clock::time_point deadline, int virtualBudgetMs);

  // Opens a page, sets the cookies, loads the link, lets the page run out
  // its budget of page time and reads the document. Sets `result`'s error,
  // detail and document; kCrashed also stands for a process that hit the
  // memory cap (the caller tells them apart).
  void Render(const RenderRequest& request, RenderResult& result);

 private:
  using json = nlohmann::json;

  // Sends a command to the page (or, with `toBrowser`, to the browser); its
  // id, or 0 when it could not be sent.
  int Send(const std::string& method, json params, bool toBrowser = false);
  // Send, then wait for the reply; false on failure (m_error says why, or
  // the reply was an error). `result` is the reply's result.
  bool Call(const std::string& method, json params, json* result = nullptr, bool toBrowser = false);
  // Reads messages until `done` holds; false when reading failed first or
  // the page crashed.
  template <typename Done>
  bool WaitUntil(Done done);
  bool ReadOne();
  void OnEvent(const std::string& method, const json& params);
  void Fail(RenderError error, std::string detail = std::string());

  CBrowserProcess& m_browser;
  const Clock::time_point m_deadline;
  const int m_virtualBudgetMs;
  int m_nextId = 0;
  std::string m_session;
  std::map<int, json> m_replies;
  bool m_heardBrowser = false;

  RenderError m_error = RenderError::kNone;
  std::string m_detail;
  bool m_crashed = false;
  bool m_budgetSpent = false;
  std::set<std::string> m_committedLoaders;      // main-frame documents shown
  std::map<std::string, long> m_documentStatus;  // by loader
};
