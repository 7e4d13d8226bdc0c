#pragma once

// A vantrel-server on 127.0.0.1 (any free port) over a fresh store of the
// chosen back end, with its own update folder, and the program directory
// (a TempDir that is VANTREL_HOME) pointed at it for every service.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "base/ini.h"
#include "base/programdir.h"
#include "engine/site.h"
#include "server/server.h"
#include "server_fixture.h"

struct RunningServer {
  explicit RunningServer(Backend backend, ServerSettings settings = {}) {
    store = OpenTestStore(backend, home);
    if (!store) return;
    settings.port = 0;
    settings.updateFolder = updateFolder.Path();
    server = std::make_unique<CVantrelServer>(*store, hasher, sites, nullptr, settings);
    port = server->Start();
    if (port <= 0) {
      ADD_FAILURE() << "the server did not start";
      return;
    }
    PointProgramAt();
  }

  bool Ready() const { return store && port > 0; }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port) + path;
  }

  void PointProgramAt() const {
    const std::string config = ProgramFile("config.ini");
    const std::pair<const char*, std::string> hosts[] = {
        {"UpdateInfoUrl", Url("/update/update.ini")},
        {"SiteRulesUrl", Url("/update/sites.xml")},
        {"HistoryUrl", Url("/price_history.php?url=")},
        {"ComparisonUrl", Url("/price_comparison.php?url=")},
        {"CommissionUrl", Url("/buylink.php")},
        {"AccountUrl", Url("/")},
    };
    for (const auto& [key, value] : hosts) IniWriteString(config, "Hosts", key, value);
  }

  TempDir home{true};
  TempDir updateFolder;
  std::unique_ptr<CServerStore> store;
  CPasswordHasher hasher{CPasswordHasher::Cost::kMinimum};
  CSiteList sites;
  std::unique_ptr<CVantrelServer> server;
  int port = -1;
};
