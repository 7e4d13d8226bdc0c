#pragma once

#include <string>

#include "engine/site.h"

// Shop records learned from a product page live in sites.xml beside the
// rules people wrote. They are stored and forgotten one at a time on top of
// the file as it is on disk, so that what another process learned meanwhile
// stays, and they outlive a refresh of the rules unless the refreshed rules
// cover the same shop.

// Adds the learned record to `sites` and to the rule file at `path`; false
// when the file could not be written.
bool StoreLearnedSite(CSiteList& sites, const SiteRef& learned, const std::string& path);

// Takes the learned record named `name` out of `sites` and of the file;
// false when there is no such learned record or the file was not written.
bool ForgetLearnedSite(CSiteList& sites, const std::string& name, const std::string& path);

// Called after refreshed rules were merged into `sites`, before they are
// saved over the rule file at `path`: the learned records of that file come
// back, and a learned record goes whose Domain a rule of `sites` covers (the
// same Domain, or one that occurs in it): the rules then win.
void KeepLearnedSites(CSiteList& sites, const std::string& path);
