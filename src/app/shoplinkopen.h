#pragma once

#include <string>

#include "services/shoplinks.h"

class CWindowJobs;
class QObject;

// Opens a tracked product's shop page: the link is rewritten on a worker
// (the rewriting may ask the commission service, for at most
// kCommissionWaitMilliseconds) and opened in the user's browser once it comes
// back, the busy cursor showing meanwhile; an empty result tells the user
// that the link is not valid. Nothing opens when `receiver` is gone by then.
void OpenShopLinkLater(CWindowJobs& jobs, QObject* receiver, const std::string& url,
                       const std::string& gotoUrl, const ShopLinkTaskStore& store);
