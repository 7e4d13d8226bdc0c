#pragma once

#include "engine/productfiles.h"

class CSiteList;

// The program's services for adding and deleting tasks: the shop-link
// cleaning, the comparison and history servers (their files written
// whatever the servers answered), the commission-link service, and the
// account of section "User" in config.ini. `sites` (may be null) names the
// comparison's offers of configured shops.
ProductServices ProgramProductServices(const CSiteList* sites);
