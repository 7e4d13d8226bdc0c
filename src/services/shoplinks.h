#pragma once

#include <functional>
#include <string>

#include "engine/tasklist.h"

// Shop links: every product page the program opens for the user goes through
// RewriteShopLink, which cleans the link of tracking parameters and redirect
// wrappers and turns it into the program's commission link for that shop.
// Shop domains, redirect addresses and partner values come from section
// "Hosts" of config.ini (base/hosts.inc).

// The action that opens the link: a tracked product (main window, change
// list, search results, pop-up, sharing), or a row of a price comparison.
enum class ShopLinkKind { kTask, kCompPrice };

// What the rewriting of a tracked product's link needs in order to keep a
// commission link it had to look up: the answer is stored in the task's
// GotoUrl so that the service is asked once per task.
struct ShopLinkTaskStore {
  CTaskList* tasks = nullptr;  // null: nothing is looked up for kTask
  std::string tasksPath;       // tasks.xml, saved after a useful answer
  // Told after the task's GotoUrl changed, so its row can be refreshed; may
  // be empty.
  std::function<void(const TaskPtr&)> taskChanged;
};

// The link without its fragment, tracking parameters and known redirect
// wrappers; an empty link gives an empty result.
std::string CleanShopLink(const std::string& link);

// The link to open for `link`: the cleaned link rewritten by its shop's rule.
// `gotoUrl` is the commission link stored with the product (may be empty).
std::string RewriteShopLink(const std::string& link, const std::string& gotoUrl, ShopLinkKind kind,
                            const ShopLinkTaskStore& store = {});

// How long a link the user opened waits for the commission-link service;
// without an answer by then the plain product link opens.
inline constexpr long kCommissionWaitMilliseconds = 5000;

// Asks the commission-link service for `link`; `shopKey` is "taobao", "jd" or
// "yhd". The reply text: a link starting with "http://", "false", "nologin",
// "商品不在推广中" (in the local code page), or empty when the request failed,
// took longer than kCommissionWaitMilliseconds, or no service address is
// configured.
std::string LookupCommissionLink(const std::string& link, const std::string& shopKey);
