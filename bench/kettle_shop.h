#pragma once

// The fake shop of the tracking benchmarks: a kettle's product page of a
// chosen size, the shop's rules and tracked tasks on its links.
#include <cstddef>
#include <memory>
#include <string>

#include "engine/site.h"
#include "engine/tasklist.h"
#include "support/fakeshop.h"

inline std::string KettlePage(const std::string& price, size_t bytes) {
  std::string page =
      "<html><body><h1 id=\"name\">Kettle 1.5L</h1><span id=\"sku\">1001</span>"
      "<em id=\"price\">" +
      price + "</em><em id=\"promo\">0</em><div id=\"stock\">in stock</div>";
  // Markup like a shop's: many small elements the patterns must walk past.
  while (page.size() + 20 < bytes)
    page += "<li class=\"spec\"><span>Weight</span><b>1.2 kg</b></li>\n";
  return page + "</body></html>";
}

inline std::shared_ptr<CSite> KettleShopSite(const std::string& host) {
  auto site = std::make_shared<CSite>();
  site->SetName("Fake");
  site->SetDomain(host);
  site->SetEncode("utf-8");
  site->SetIDRegex("id=\"sku\">(\\d+)<");
  site->SetNameRegex("<h1 id=\"name\">(.*?)</h1>");
  site->SetPriceRegex("id=\"price\">([0-9.,]+)<");
  site->SetPromPriceRegex("id=\"promo\">([0-9.,]+)<");
  site->SetStockRegex("id=\"stock\">(.*?)<");
  site->SetOutOfStockFlag("sold out");
  return site;
}

inline std::string KettleLink(const FakeShop& shop, const std::string& path, int n) {
  return shop.Link(path + "?n=" + std::to_string(n));
}

// `count` tracked tasks at 99.00 in stock, every change told, one an hour.
inline void FillKettleTasks(CTaskList& tasks, const FakeShop& shop, const std::string& path,
                            int count) {
  for (int i = 0; i < count; ++i) {
    CTaskValues v;
    v.url = KettleLink(shop, path, i);
    v.productName = "Kettle 1.5L";
    v.productId = std::to_string(100000 + i);
    v.frequencyHour = "1";
    v.frequencyMinute = "0";
    v.status = 1;
    v.siteName = "Fake";
    v.siteDomain = shop.Host();
    v.trackStock = v.trackPrice = v.priceDown = v.priceUp = true;
    v.currentPrice = "99.00";
    v.currentStock = 1;
    tasks.AddTask(std::make_shared<CTask>(v));
  }
}
