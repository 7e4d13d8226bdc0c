#pragma once

#include <string>
#include <vector>

#include "base/hosts.h"

// Asks one of the program's own servers: a GET of its configured address
// followed by `query`, the reply read as UTF-8 and returned in the local code
// page. An empty address in config.ini switches the service off: nothing is
// sent and the reply is empty, as it is for any failure.
std::string AskProgramServer(HostId server, const std::string& query);

class CRegexPattern;

// Every match of `pattern` in a server reply, each search starting at the
// end of the previous match: groups 1 to `groups` of each, as texts ("" for a
// group that took no part).
std::vector<std::vector<std::string>> ReplyRecords(const std::string& reply,
                                                   const CRegexPattern& pattern, int groups);
