#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "server/passwords.h"

// Event loops when --threads is not given: twice the processors, 4 to 32.
// Each waits on the database in turn, and more loops than the processors can
// serve only make every request wait longer for one.
int DefaultRequestThreads();

// What vantrel-server is told by its command line and its configuration
// file (INI: section "Server" with the option names as keys, section
// "Commission" with one template per shop key). The command line wins.
// The tracking period of --track-minutes, in whole seconds (at least one
// unless the minutes are 0).
std::chrono::seconds TrackPeriod(double minutes);

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 8765;
  std::string dataFolder;          // default: program directory + "server/"
  std::string database;            // default: data folder + "vantrel.db"
  std::string updateFolder;        // default: built from the program directory
  std::string configFile;          // default: program directory + "vantrel-server.ini"
  double trackMinutes = 60;        // 0: the server tracks nothing; 1 with --demo
  int trackWorkers = 16;           // visits at once
  int leaseSeconds = 60;           // how long a claim on a product lasts unrenewed
  int maxTasks = 5000;             // tasks one account may hold
  int maxRecordBytes = 16 * 1024;  // one task record
  CPasswordHasher::Cost passwordCost = CPasswordHasher::Cost::kInteractive;
  int threads = DefaultRequestThreads();
  int maxPerAddress = 1024;  // connections one client address may hold
  std::string logFile;       // empty: requests are logged to standard error
  bool demo = false;
  bool allowPrivateShops = false;  // the tracker may reach private addresses
  // Set: write the server's addresses into this program directory's
  // config.ini and end (--point-program DIR).
  std::string pointProgram;
  int demoPort = 8766;  // the demo's shops listen here and on the next (0: free ports)
  std::map<std::string, std::string> commission;
};

// False, with `error` set, for an unknown option or a bad value; `help`
// becomes true for --help.
bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& options, bool& help,
                        std::string& error);

// The usage text of --help.
const char* ServerUsage();
