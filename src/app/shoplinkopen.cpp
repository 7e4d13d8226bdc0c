#include "app/shoplinkopen.h"

#include "app/windowjobs.h"
#include "base/message.h"
#include "base/openlink.h"
#include "base/stringtable.h"

void OpenShopLinkLater(CWindowJobs& jobs, QObject* receiver, const std::string& url,
                       const std::string& gotoUrl, const ShopLinkTaskStore& store) {
  jobs.RunShowingBusy(
      receiver,
      [url, gotoUrl, store] { return RewriteShopLink(url, gotoUrl, ShopLinkKind::kTask, store); },
      [](const std::string& link) {
        if (link.empty())
          ShowMessage(IDS_LINK_INVALID, kMessageInfo);
        else
          OpenLink(link);
      });
}
