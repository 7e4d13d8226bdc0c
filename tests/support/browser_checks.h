#pragma once

#include <sys/types.h>

#include <string>

#include "engine/renderer.h"

// For tests that run the headless browser: whether it is installed, and
// what a process left behind of its renders.

// Skips the test, saying why, when chromium-headless-shell can't be found.
#define SKIP_WITHOUT_BROWSER()                                                                \
  do {                                                                                        \
    if (FindBrowser().empty())                                                                \
      GTEST_SKIP() << "chromium-headless-shell is not installed (scripts/setup installs it)"; \
  } while (0)

// Processes still running with the environment of a browser that process
// `pid` started (their home is a render profile of `pid`).
int BrowserProcessesLeft(pid_t pid);
// Render profile folders of process `pid` still on disk.
int ProfileFoldersLeft(pid_t pid);
