#pragma once

#include <string>

// True when an answer of the commission-link service is a link a browser can
// open: "http://" (any case), a host, and no blank, control
// character or markup. "false", "nologin", "商品不在推广中", an empty text
// and an error page are not, and are never kept as a task's shop link.
bool IsCommissionLink(const std::string& answer);
