#pragma once

#include <functional>

#include "server/options.h"

// The whole server as vantrel-server runs it: the store, the shop rules and
// the update folder, the tracker, the demo shops when asked, the HTTP side.
// Prints what it serves, then serves until `waitForStop` returns. The exit
// status: 0, or 1 when something could not be started.
int RunServer(const ServerOptions& options, const std::function<void()>& waitForStop);
