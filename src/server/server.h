#pragma once

#include <map>
#include <memory>
#include <string>

#include "server/account_api.h"
#include "server/http.h"
#include "server/login_throttle.h"
#include "server/passwords.h"
#include "server/store.h"

class CSiteList;
class CServerTracker;
class CRequestLog;

struct ServerSettings {
  std::string host = "127.0.0.1";
  int port = 8765;  // 0: any free port
  // Published under /update/; empty: no update folder.
  std::string updateFolder;
  // Shop key -> commission-link template (see CommissionReply).
  std::map<std::string, std::string> commission;
  int threads = 8;  // event loops; see AccountScriptThreads
  // Connections one client address may hold at once.
  int maxPerAddress = 1024;
  AccountLimits accountLimits;
  // Null: no request log.
  CRequestLog* log = nullptr;
};

// vantrel-server's HTTP side: the update folder, the history, comparison
// and commission-link scripts, the account scripts and a few plain pages,
// all answered from the store. The store, the rules and the tracker (may
// be null) outlive the server.
// Threads that run the account scripts beside `threads` event loops: they
// mostly wait for the database or a hashing slot, so as many as the loops.
int AccountScriptThreads(int threads);

// Database connections for a server with `threads` event loops: a quarter as
// many as the threads that use the database (at least 2). Statements that
// wait for a connection go to the database together, so a few connections
// serve many threads and wake the database less often.
int DatabaseConnections(int threads);

class CVantrelServer {
 public:
  CVantrelServer(CServerStore& store, CPasswordHasher& hasher, const CSiteList& sites,
                 CServerTracker* tracker, ServerSettings settings);
  ~CVantrelServer();
  CVantrelServer(const CVantrelServer&) = delete;
  CVantrelServer& operator=(const CVantrelServer&) = delete;

  // Binds and serves on threads of its own. The port bound, or -1 with
  // Error() saying why.
  int Start();
  void Stop();
  int Port() const { return m_port; }
  const std::string& Error() const { return m_http.Error(); }

  // The answers, without HTTP (also what the handlers send).
  std::string HistoryAnswer(const std::string& url);
  std::string ComparisonAnswer(const std::string& url, const std::string& name);

 private:
  HttpReply Dispatch(const HttpRequest& request);
  HttpReply UpdateFile(const std::string& name) const;
  HttpReply AccountScript(const std::string& script, const HttpRequest& request);

  CServerStore& m_store;
  const CSiteList& m_sites;
  ServerSettings m_settings;
  CAccountApi m_accounts;
  CLoginThrottle m_throttle;
  CHttpListener m_http;
  int m_port = -1;
};

// A product name from the program: UTF-8 as it is, else read as the local
// code page (the comparison request sends the name that way).
std::string NameFromProgram(const std::string& bytes);
