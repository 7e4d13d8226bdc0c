#pragma once

#include "support/fake_program_servers.h"
#include "support/tempdir.h"

// A program directory for running vantrelctl as a user would: it is
// VANTREL_HOME, with shop rules that know no shop, the blank picture, no
// pause between tasks, and the program's servers on 127.0.0.1.
struct ToolFolder {
  ToolFolder();
  TempDir home{true};
  FakeProgramServers servers;
};
