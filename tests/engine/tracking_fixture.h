#pragma once

// A program directory, a fake shop with one product page, the shop's rules,
// a task list and a tracker on a hand-moved clock, shared by the tracking
// tests.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/clock.h"
#include "base/codepage.h"
#include "base/files.h"
#include "base/programdir.h"
#include "engine/events_record.h"
#include "engine/site.h"
#include "engine/task.h"
#include "engine/tasklist.h"
#include "engine/tracking.h"
#include "services/history.h"
#include "services/pricerecord.h"
#include "support/fakeshop.h"
#include "support/tempdir.h"

// A product page of at least 1500 bytes; an empty `stock` text means the
// stock can't be determined.
inline std::string ProductPage(const std::string& price, const std::string& promo = "0",
                               const std::string& stock = "in stock",
                               const std::string& extra = "") {
  return "<html><body><h1 id=\"name\">Kettle</h1><span id=\"sku\">1001</span>"
         "<em id=\"price\">" +
         price + "</em><em id=\"promo\">" + promo + "</em><div id=\"stock\">" + stock + "</div>" +
         extra + "<!--" + std::string(1600, '.') + "--></body></html>";
}

class TrackingFixture : public testing::Test {
 protected:
  TrackingFixture() {
    SetClockForTesting([] { return std::time_t{1700000000}; });
    MakeDirectories(home.File("productprices"));
    sites.AddSite(std::make_shared<CSite>(ShopSite("Fake", shop.Host(), "")));
  }
  ~TrackingFixture() override { SetClockForTesting({}); }

  CSite ShopSite(const std::string& name, const std::string& domain, const std::string& flag) {
    CSite site;
    site.SetName(name);
    site.SetDomain(domain);
    site.SetEncode("utf-8");
    site.SetFlag(flag);
    site.SetIDRegex("id=\"sku\">(\\d+)<");
    site.SetNameRegex("<h1 id=\"name\">(.*?)</h1>");
    site.SetPriceRegex("id=\"price\">([0-9.,]+)<");
    site.SetPromPriceRegex("id=\"promo\">([0-9.,]+)<");
    site.SetStockRegex("id=\"stock\">(.*?)<");
    site.SetOutOfStockFlag("sold out");
    return site;
  }

  // A tracked task on the shop's product page, price 99.00 in stock,
  // everything told.
  CTaskValues Values(const std::string& path = "/item/1.html") {
    CTaskValues v;
    v.url = shop.Link(path);
    v.productName = "Kettle";
    v.productId = "1001";
    v.frequencyHour = "1";
    v.frequencyMinute = "0";
    v.status = 1;
    v.siteName = "Fake";
    v.siteDomain = shop.Host();
    v.trackStock = v.trackPrice = v.priceUp = v.priceDown = true;
    v.currentPrice = "99.00";
    v.currentStock = 1;
    return v;
  }

  TaskPtr AddTask(CTaskValues values) {
    auto task = std::make_shared<CTask>(std::move(values));
    EXPECT_TRUE(tasks.AddTask(task));
    return task;
  }

  std::unique_ptr<CTracker> MakeTracker(TrackingSettings settings = {0, 0}, size_t workers = 4) {
    auto tracker = std::make_unique<CTracker>(sites, tasks, events, settings, clock, workers);
    tracker->SetPriceRecorder(RecordTrackedPrice);
    return tracker;
  }

  std::string HistoryPath(const CTask& task) {
    return ProgramFile("productprices/" + ProductFileKey(task) + ".xml");
  }
  // The points of the task's history file; -1 when there is no file.
  int HistoryPoints(const CTask& task) {
    CPriceInfo history;
    if (!history.LoadCache(HistoryPath(task))) return -1;
    return static_cast<int>(history.GetItemCount());
  }

  TempDir home{true};
  FakeShop shop;
  CSiteList sites;
  CTaskList tasks;
  CRecordingEventSink events;
  std::shared_ptr<ManualTimerClock> clock = std::make_shared<ManualTimerClock>();
};
