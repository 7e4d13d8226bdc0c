#include "server/options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "base/ini.h"
#include "base/programdir.h"

namespace {

bool ReadInt(const std::string& text, int low, int high, int& value) {
  char* end = nullptr;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || number < low || number > high) return false;
  value = static_cast<int>(number);
  return true;
}

// Minutes, whole or decimal ("0.5"): short periods serve tests.
bool ReadMinutes(const std::string& text, double& minutes) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(number >= 0) || number > 100000) return false;
  minutes = number;
  return true;
}

// One option's value into the options; false for an unknown name or bad value.
bool Apply(const std::string& name, const std::string& value, ServerOptions& options,
           std::string& error) {
  bool good = true;
  if (name == "host")
    options.host = value;
  else if (name == "port")
    good = ReadInt(value, 0, 65535, options.port);
  else if (name == "data")
    options.dataFolder = value;
  else if (name == "database")
    options.database = value;
  else if (name == "update-folder")
    options.updateFolder = value;
  else if (name == "track-minutes")
    good = ReadMinutes(value, options.trackMinutes);
  else if (name == "track-workers")
    good = ReadInt(value, 1, 256, options.trackWorkers);
  else if (name == "lease-seconds")
    good = ReadInt(value, 3, 3600, options.leaseSeconds);
  else if (name == "max-tasks")
    good = ReadInt(value, 1, 100000000, options.maxTasks);
  else if (name == "max-record-bytes")
    good = ReadInt(value, 256, 64 * 1024, options.maxRecordBytes);
  else if (name == "threads")
    good = ReadInt(value, 1, 1024, options.threads);
  else if (name == "max-per-address")
    good = ReadInt(value, 1, 1000000, options.maxPerAddress);
  else if (name == "log")
    options.logFile = value;
  else if (name == "demo-port")
    good = ReadInt(value, 0, 65534, options.demoPort);
  else if (name == "point-program")
    options.pointProgram = value;
  else if (name == "password-cost")
    good = CPasswordHasher::ParseCost(value, options.passwordCost);
  else {
    error = "unknown option --" + name;
    return false;
  }
  if (!good) error = "bad value for --" + name + ": " + value;
  return good;
}

void ApplyConfigFile(ServerOptions& options) {
  const std::string& file = options.configFile;
  if (!std::filesystem::exists(file)) return;
  for (const char* name : {"host", "port", "data", "database", "update-folder", "track-minutes",
                           "track-workers", "lease-seconds", "max-tasks", "max-record-bytes",
                           "threads", "max-per-address", "log", "demo-port", "password-cost"}) {
    const std::string value = IniGetString(file, "Server", name, "");
    std::string ignored;
    if (!value.empty()) Apply(name, value, options, ignored);
  }
  for (const char* key : {"taobao", "jd", "yhd"}) {
    const std::string value = IniGetString(file, "Commission", key, "");
    if (!value.empty()) options.commission[key] = value;
  }
}

}  // namespace

bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& options, bool& help,
                        std::string& error) {
  help = false;
  std::vector<std::pair<std::string, std::string>> given;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      help = true;
      return true;
    }
    if (arg == "--demo") {
      options.demo = true;
      continue;
    }
    if (arg == "--allow-private-shops") {
      options.allowPrivateShops = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      error = "unexpected argument " + arg;
      return false;
    }
    std::string name = arg.substr(2);
    std::string value;
    const size_t equals = name.find('=');
    if (equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      error = "--" + name + " needs a value";
      return false;
    }
    if (name == "config")
      options.configFile = value;
    else
      given.emplace_back(name, value);
  }
  if (options.configFile.empty()) options.configFile = ProgramFile("vantrel-server.ini");
  // The demo's prices move every few minutes; a visit a minute shows it.
  if (options.demo) options.trackMinutes = 1;
  ApplyConfigFile(options);
  for (const auto& [name, value] : given)
    if (!Apply(name, value, options, error)) return false;
  if (options.dataFolder.empty()) options.dataFolder = ProgramFile("server/");
  if (options.dataFolder.back() != '/') options.dataFolder += '/';
  if (options.database.empty()) options.database = options.dataFolder + "vantrel.db";
  return true;
}

const char* ServerUsage() {
  return "usage: vantrel-server [options]\n"
         "  --host ADDRESS         listen address (127.0.0.1)\n"
         "  --port N               listen port (8765)\n"
         "  --data FOLDER          the server's files (program directory + server/)\n"
         "  --database WHERE       a SQLite file (data folder + vantrel.db) or\n"
         "                         postgresql://user@host:port/name\n"
         "  --update-folder DIR    publish this folder under /update/ (default: one built\n"
         "                         from the program directory in the data folder)\n"
         "  --track-minutes N      visit every product accounts hold every N minutes (60;\n"
         "                         decimals such as 0.5 allowed); 0 tracks nothing. Servers\n"
         "                         on one PostgreSQL database share the products to visit\n"
         "  --track-workers N      visits at once (16), at most 2 on one shop\n"
         "  --lease-seconds N      a server's claim on the products it visits lasts this\n"
         "                         long unrenewed (60, at least 3): those of a server\n"
         "                         that died are taken by the others then\n"
         "  --max-tasks N          tasks one account may hold (5000)\n"
         "  --max-record-bytes N   size of one task record (16384, at most 65536)\n"
         "  --password-cost C      minimum, interactive (default) or moderate\n"
         "  --threads N            event loops (twice the processors, 4 to 32)\n"
         "  --max-per-address N    connections one client address may hold (1024)\n"
         "  --log FILE             one line per request, appended to FILE (a regular file,\n"
         "                         never a symlink, made readable by its owner only)\n"
         "                         instead of standard error\n"
         "  --config FILE          INI file: section Server (these options), section\n"
         "                         Commission (taobao, jd, yhd = link template, {url} is\n"
         "                         replaced by the encoded product link)\n"
         "  --allow-private-shops  let the tracker fetch shops on loopback, private and\n"
         "                         link-local addresses (refused by default)\n"
         "  --demo                 also run two demo shops on 127.0.0.1 (--demo-port, 8766\n"
         "                         and the next port) and publish their rules\n"
         "  --point-program DIR    write this server's addresses (--host, --port) into\n"
         "                         section Hosts of DIR/config.ini, then end\n";
}

std::chrono::seconds TrackPeriod(double minutes) {
  if (minutes <= 0) return std::chrono::seconds(0);
  return std::chrono::seconds(std::max<long>(1, std::lround(minutes * 60)));
}

int DefaultRequestThreads() {
  const int processors = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(2 * processors, 4, 32);
}
