#include "server/run.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "base/files.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "engine/site.h"
#include "engine/spider.h"
#include "server/demo.h"
#include "server/request_log.h"
#include "server/server.h"
#include "server/tracker.h"
#include "server/updatefolder.h"

namespace {

bool Fail(const std::string& message) {
  std::fprintf(stderr, "vantrel-server: %s\n", message.c_str());
  return false;
}

// The rules the server tracks with and publishes: the update folder's own
// when one is given; otherwise the program directory's sites.xml, with the
// demo shops' rules added, written into a folder built from the program
// directory.
bool PrepareRules(const ServerOptions& options, const CDemoShops* demo, CSiteList& sites,
                  std::string& updateFolder) {
  if (!options.updateFolder.empty()) {
    updateFolder = options.updateFolder;
    const std::string path = updateFolder + "/sites.xml";
    if (std::filesystem::exists(path) && !sites.LoadSites(path))
      return Fail(path + " can't be read");
    return true;
  }
  updateFolder = options.dataFolder + "update/";
  const std::string own = ProgramFile("sites.xml");
  if (std::filesystem::exists(own) && !sites.LoadSites(own)) return Fail(own + " can't be read");
  if (demo) demo->AddRules(sites);
  std::string sitesXml;
  if (sites.GetCount() > 0) {
    const std::string built = options.dataFolder + "sites.built.xml";
    if (!sites.SaveSites(built) || !ReadWholeFile(built, sitesXml))
      return Fail(built + " can't be written");
  }
  std::string error;
  if (!BuildUpdateFolder(ProgramDirectory(), updateFolder, sitesXml, LoadString(IDS_VERSION),
                         sites.GetVersion(), error))
    return Fail(error);
  return true;
}

}  // namespace

int RunServer(const ServerOptions& options, const std::function<void()>& waitForStop) {
  std::error_code code;
  // Accounts live here: a folder the server makes is its owner's alone.
  const bool made = std::filesystem::create_directories(options.dataFolder, code);
  if (!code && made)
    std::filesystem::permissions(options.dataFolder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, code);
  if (code) return Fail(options.dataFolder + ": " + code.message()), 1;

  LoadFetchTimeout();
  std::string error;
  std::unique_ptr<CServerStore> store =
      OpenServerStore(options.database, error, DatabaseConnections(options.threads));
  if (!store) return Fail("database " + options.database + ": " + error), 1;

  std::unique_ptr<CDemoShops> demo;
  if (options.demo) {
    demo = std::make_unique<CDemoShops>();
    if (!demo->Start(options.demoPort)) return Fail(demo->Error()), 1;
  }
  CSiteList sites;
  std::string updateFolder;
  if (!PrepareRules(options, demo.get(), sites, updateFolder)) return 1;

  CRequestLog log;
  if (!options.logFile.empty() && !log.Open(options.logFile, error)) return Fail(error), 1;

  CPasswordHasher hasher(options.passwordCost);
  CServerTracker tracker(*store, sites);
  ShopAddressRules rules;
  rules.allowPrivate = options.allowPrivateShops;
  if (demo) rules.allowed = demo->Addresses();
  tracker.SetAddressRules(rules);
  if (demo && !demo->HoldProducts(*store, hasher)) return Fail("the demo account can't be made"), 1;

  ServerSettings settings;
  settings.host = options.host;
  settings.port = options.port;
  settings.updateFolder = updateFolder;
  settings.commission = options.commission;
  settings.threads = options.threads;
  settings.maxPerAddress = options.maxPerAddress;
  settings.accountLimits = {options.maxTasks, static_cast<size_t>(options.maxRecordBytes)};
  settings.log = &log;
  CVantrelServer server(*store, hasher, sites, &tracker, settings);
  const int port = server.Start();
  if (port < 0)
    return Fail("can't listen on " + options.host + ":" + std::to_string(options.port) + ": " +
                server.Error()),
           1;
  TrackerPool pool;
  pool.workers = options.trackWorkers;
  pool.lease = std::chrono::seconds(options.leaseSeconds);
  tracker.Start(TrackPeriod(options.trackMinutes), pool);

  std::printf("vantrel-server: http://%s:%d/ (update folder %s, database %s)\n",
              options.host.c_str(), port, updateFolder.c_str(), options.database.c_str());
  if (demo) demo->PrintWelcome();
  std::fflush(stdout);
  waitForStop();
  tracker.Stop();
  server.Stop();
  return 0;
}
