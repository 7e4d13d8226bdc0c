// One tracking pass against the fake shop: what it concludes from a new
// price and stock, what it records, tells and saves.
#include <string>
#include <vector>

#include "base/message.h"
#include "base/timetext.h"
#include "tracking_fixture.h"

namespace {

class TrackingPassTest : public TrackingFixture {};

struct DecisionCase {
  const char* what;
  // The page.
  const char* price;
  const char* promo;
  const char* stock;
  // The task before the pass.
  const char* oldPrice;
  int oldStock;
  bool trackPrice, trackStock, priceUp, priceDown;
  const char* target;
  // After the pass.
  const char* priceState;
  const char* stockState;
  const char* currentPrice;
  int currentStock;
  const char* changeText;  // UTF-8
  bool told;               // UpdateChangeData, pop-up and sound
  int historyPoints;       // points in the history file, -1 for no file
};

const DecisionCase kDecisions[] = {
    {"drop without target", "89.00", "0", "in stock", "99.00", 1, true, true, true, true, "",
     "down", "nochange", "89.00", 1, "Kettle价格变为89.00", true, 1},
    {"promotion below the price wins", "100.00", "95.00", "in stock", "99.00", 1, true, true, true,
     true, "", "down", "nochange", "95.00", 1, "Kettle价格变为95.00", true, 1},
    {"promotion above the price is ignored", "100.00", "120.00", "in stock", "99.00", 1, true, true,
     true, true, "", "up", "nochange", "100.00", 1, "Kettle价格变为100.00", true, 1},
    {"promotion stands in for a missing price", "0", "88.00", "in stock", "99.00", 1, true, true,
     true, true, "", "down", "nochange", "88.00", 1, "Kettle价格变为88.00", true, 1},
    {"drop above the target is recorded, not told", "89.00", "0", "in stock", "99.00", 1, true,
     true, true, true, "80", "down", "nochange", "89.00", 1, "Kettle价格变为89.00", false, 1},
    {"drop below the target is told", "79.00", "0", "in stock", "99.00", 1, true, true, true, true,
     "80", "down", "nochange", "79.00", 1, "Kettle价格变为79.00", true, 1},
    {"drop onto the target is told", "80.00", "0", "in stock", "99.00", 1, true, true, true, true,
     "80", "down", "nochange", "80.00", 1, "Kettle价格变为80.00", true, 1},
    {"drop with PriceDown off", "89.00", "0", "in stock", "99.00", 1, true, true, true, false, "",
     "down", "nochange", "89.00", 1, "Kettle价格变为89.00", false, 1},
    {"rise with PriceUp off: text built, nothing told", "109.00", "0", "in stock", "99.00", 1, true,
     true, false, true, "", "up", "nochange", "109.00", 1, "Kettle价格变为109.00", false, 1},
    {"rise told", "109.00", "0", "in stock", "99.00", 1, true, true, true, true, "", "up",
     "nochange", "109.00", 1, "Kettle价格变为109.00", true, 1},
    {"stock to undetermined", "99.00", "0", "", "99.00", 1, true, true, true, true, "", "nochange",
     "change", "99.00", -1, "Kettle库存变为不确定", true, -1},
    {"sold out", "99.00", "0", "sold out", "99.00", 1, true, true, true, true, "", "nochange",
     "change", "99.00", 0, "Kettle库存变为缺货", true, -1},
    {"back in stock with a told drop", "89.00", "0", "in stock", "99.00", 0, true, true, true, true,
     "", "down", "change", "89.00", 1, "Kettle价格变为89.00库存变为有货", true, 1},
    {"stock change with TrackStock off", "99.00", "0", "sold out", "99.00", 1, true, false, true,
     true, "", "nochange", "change", "99.00", 0, "", false, -1},
    {"TrackPrice off: price taken, no point", "89.00", "0", "in stock", "99.00", 1, false, true,
     true, true, "", "down", "nochange", "89.00", 1, "", false, -1},
    {"no price read keeps the old one", "n/a", "0", "in stock", "99.00", 1, true, true, true, true,
     "", "error", "nochange", "99.00", 1, "", false, -1},
    {"same price", "99.00", "0", "in stock", "99.00", 1, true, true, true, true, "", "nochange",
     "nochange", "99.00", 1, "", false, -1},
    {"first price after the fetching mark", "99.00", "0", "in stock", "抓取中", 1, true, true, true,
     true, "", "up", "nochange", "99.00", 1, "Kettle价格变为99.00", true, 1},
};

TEST_F(TrackingPassTest, DecisionRules) {
  auto tracker = MakeTracker();
  int n = 0;
  for (const DecisionCase& c : kDecisions) {
    SCOPED_TRACE(c.what);
    const std::string path = "/item/" + std::to_string(++n) + ".html";
    shop.Page(path, ProductPage(c.price, c.promo, c.stock));
    CTaskValues v = Values(path);
    v.productId = std::to_string(n);
    v.currentPrice = Utf8ToLocal(c.oldPrice);
    v.currentStock = c.oldStock;
    v.trackPrice = c.trackPrice;
    v.trackStock = c.trackStock;
    v.priceUp = c.priceUp;
    v.priceDown = c.priceDown;
    v.targetPrice = c.target;
    TaskPtr task = AddTask(v);
    events.Clear();

    tracker->TrackingPass(task);

    EXPECT_EQ(task->GetPriceState(), c.priceState);
    EXPECT_EQ(task->GetStockState(), c.stockState);
    EXPECT_EQ(task->GetCurrentPrice(), c.currentPrice);
    EXPECT_EQ(task->GetCurrentStock(), c.currentStock);
    EXPECT_EQ(task->GetPreviousPrice(), Utf8ToLocal(c.oldPrice));
    EXPECT_EQ(task->GetPreviousStock(), c.oldStock);
    EXPECT_EQ(LocalToUtf8(ChangeText(*task)), c.changeText);
    EXPECT_EQ(task->GetLastUpdate(), FormatTimeText(1700000000));
    EXPECT_EQ(HistoryPoints(*task), c.historyPoints);
    // The row is refreshed whatever was found.
    ASSERT_EQ(events.Count("UpdateData"), 1u);
    EXPECT_EQ(events.Named("UpdateData")[0].task, task);
    EXPECT_FALSE(events.Named("UpdateData")[0].sent);
    EXPECT_EQ(events.Count("UpdateChangeData"), c.told ? 1u : 0u);
    EXPECT_EQ(events.Count("Popup"), c.told ? 1u : 0u);
    EXPECT_EQ(events.Count("Sound"), c.told ? 1u : 0u);
    if (c.told) {
      RecordedEvent popup = events.Named("Popup")[0];
      EXPECT_EQ(LocalToUtf8(popup.text), c.changeText);
      EXPECT_EQ(popup.url, task->GetUrl());
      EXPECT_EQ(events.Named("Sound")[0].text, ProgramFile("ding.wav"));
    }
    // Every completed pass leaves the list to be saved with what it found.
    tracker->FlushTaskFile();
    std::string saved;
    ASSERT_TRUE(ReadWholeFile(home.File("tasks.xml"), saved));
    EXPECT_NE(saved.find("<CurrentPrice>" + LocalToUtf8(task->GetCurrentPrice())),
              std::string::npos);
  }
}

TEST_F(TrackingPassTest, HistoryPointJoinsTheAttachedHistory) {
  shop.Page("/item/1.html", ProductPage("89.00"));
  TaskPtr task = AddTask(Values());
  auto history = std::make_shared<CPriceInfo>();
  ASSERT_TRUE(history->AddItem({"2023-01-01 00:00:00", "99.00"}));
  task->SetPriceHistory(history);

  MakeTracker()->TrackingPass(task);

  ASSERT_EQ(history->GetItemCount(), 2u);
  EXPECT_EQ(history->Items()[0].price, "89.00");
  EXPECT_EQ(history->GetLowestPrice(), "89.00");
  EXPECT_EQ(HistoryPoints(*task), 2);
}

TEST_F(TrackingPassTest, PagesUnder1500BytesChangeNothing) {
  for (size_t size : {size_t{0}, size_t{1499}}) {
    SCOPED_TRACE(size);
    std::string page = ProductPage("89.00", "0", "sold out").substr(0, 200);
    page.resize(size, ' ');
    shop.Page("/short.html", page);
    TaskPtr task = AddTask(Values("/short.html"));
    task->SetPriceState("nochange");
    home.Write("tasks.xml", "before");

    MakeTracker()->TrackingPass(task);

    EXPECT_EQ(task->GetLastUpdate(), FormatTimeText(1700000000));
    EXPECT_EQ(task->GetCurrentPrice(), "99.00");
    EXPECT_EQ(task->GetCurrentStock(), 1);
    EXPECT_EQ(task->GetPriceState(), "nochange");
    EXPECT_EQ(task->GetPreviousPrice(), "");
    EXPECT_EQ(HistoryPoints(*task), -1);
    // Only the failure is kept and shown.
    EXPECT_NE(home.Read("tasks.xml").find("<CurrentPrice>99.00</CurrentPrice>"), std::string::npos);
    EXPECT_EQ(task->GetFailCount(), 1);
    EXPECT_EQ(events.Count("FetchFailed"), 1u);
    EXPECT_EQ(events.Count("UpdateChangeData"), 0u);
    events.Clear();
    tasks.RemoveAll();
  }
  // At 1500 bytes the page counts.
  std::string page = ProductPage("89.00");
  ASSERT_GE(page.size(), 1500u);
  page.erase(page.find("<!--") + 4, page.size() - 1500);
  ASSERT_EQ(page.size(), 1500u);
  shop.Page("/edge.html", page);
  TaskPtr task = AddTask(Values("/edge.html"));
  MakeTracker()->TrackingPass(task);
  EXPECT_EQ(task->GetCurrentPrice(), "89.00");
  EXPECT_NE(home.Read("tasks.xml"), "before");
}

TEST_F(TrackingPassTest, MsgPopKeepsThePopupButNotTheRest) {
  shop.Page("/item/1.html", ProductPage("89.00"));
  TaskPtr task = AddTask(Values());
  task->SetGotoUrl("http://buy.example/1");
  auto tracker = MakeTracker({0, 1});
  tracker->TrackingPass(task);
  EXPECT_EQ(events.Count("UpdateChangeData"), 1u);
  EXPECT_EQ(events.Count("Sound"), 1u);
  EXPECT_EQ(events.Count("Popup"), 0u);

  // Switched back on while the tracker runs.
  tracker->SetMsgPop(0);
  shop.Page("/item/1.html", ProductPage("79.00"));
  tracker->TrackingPass(task);
  ASSERT_EQ(events.Count("Popup"), 1u);
  EXPECT_EQ(events.Named("Popup")[0].gotoUrl, "http://buy.example/1");
}

TEST_F(TrackingPassTest, SiteFoundByDomainWhenTheNameIsUnknown) {
  shop.Page("/item/1.html", ProductPage("89.00"));
  CTaskValues v = Values();
  v.siteName = "Renamed";
  TaskPtr task = AddTask(v);
  MakeTracker()->TrackingPass(task);
  EXPECT_EQ(task->GetCurrentPrice(), "89.00");
}

TEST_F(TrackingPassTest, ShopFlagInThePageChangesTheSite) {
  // The second shop reads the price from another element.
  CSite other = ShopSite("Other", "other.example", "data-shop=\"other\"");
  other.SetPriceRegex("id=\"deal\">([0-9.]+)<");
  sites.AddSite(std::make_shared<CSite>(other));
  shop.Page("/item/1.html",
            ProductPage("89.00", "0", "in stock", "<p data-shop=\"other\" id=\"deal\">77.00</p>"));
  TaskPtr task = AddTask(Values());
  MakeTracker()->TrackingPass(task);
  EXPECT_EQ(task->GetSiteName(), "Other");
  EXPECT_EQ(task->GetCurrentPrice(), "77.00");
}

TEST_F(TrackingPassTest, MissingProductIdIsReadWhenSomethingChanged) {
  shop.Page("/item/1.html", ProductPage("99.00"));
  CTaskValues v = Values();
  v.productId = "";
  TaskPtr task = AddTask(v);
  auto tracker = MakeTracker();
  tracker->TrackingPass(task);
  EXPECT_EQ(task->GetProductID(), "") << "nothing changed, nothing read";

  shop.Page("/item/1.html", ProductPage("89.00"));
  tracker->TrackingPass(task);
  EXPECT_EQ(task->GetProductID(), "1001");
  // The history file is named with the identifier just read.
  EXPECT_EQ(HistoryPoints(*task), 1);
}

TEST_F(TrackingPassTest, UnknownSiteMarksAnErrorAndFetchesNothing) {
  shop.Page("/item/1.html", ProductPage("89.00"));
  CTaskValues v = Values();
  v.siteName = "Gone";
  v.siteDomain = "gone.example";
  TaskPtr task = AddTask(v);
  MakeTracker()->TrackingPass(task);
  EXPECT_EQ(task->GetPriceState(), "error");
  EXPECT_EQ(task->GetCurrentPrice(), "99.00");
  EXPECT_EQ(shop.TotalRequests(), 0);
  EXPECT_EQ(task->GetFailCount(), 1);
  EXPECT_EQ(events.Count("UpdateData"), 1u);
  EXPECT_EQ(events.Count("UpdateChangeData"), 0u);
}

TEST_F(TrackingPassTest, FailedSaveIsShownAndTheTaskKeepsItsValues) {
  shop.Page("/item/1.html", ProductPage("89.00"));
  TaskPtr task = AddTask(Values());
  // A folder where tasks.xml should be can't be replaced by a file.
  MakeDirectories(home.File("tasks.xml"));
  MakeTracker()->TrackingPass(task);
  ASSERT_EQ(events.Count("Message"), 1u);
  EXPECT_EQ(events.Named("Message")[0].text, "57692");
  EXPECT_EQ(task->GetCurrentPrice(), "89.00");
  EXPECT_EQ(events.Count("UpdateChangeData"), 1u);
}

TEST_F(TrackingPassTest, RefusedHistoryPointWritesNoFile) {
  // The same price at the same second is a duplicate the history refuses.
  shop.Page("/item/1.html", ProductPage("89.00"));
  TaskPtr task = AddTask(Values());
  auto history = std::make_shared<CPriceInfo>();
  ASSERT_TRUE(history->AddItem({FormatTimeText(1700000000), "89.00"}));
  task->SetPriceHistory(history);
  MakeTracker()->TrackingPass(task);
  EXPECT_EQ(task->GetPriceState(), "down");
  EXPECT_EQ(history->GetItemCount(), 1u);
  EXPECT_FALSE(FileExists(HistoryPath(*task)));
}

TEST(TrackingValues, PeriodFromFrequency) {
  struct {
    const char* hours;
    const char* minutes;
    std::int64_t ms;
  } cases[] = {
      {"1", "0", 3600000},  {"0", "30", 1800000}, {"1.5", "2", 5520000}, {"0", "0", 0},
      {"", "", 0},          {"abc", "5", 300000}, {"-3", "0", 0},        {"24", "60", 90000000},
      {"0.0001", "0", 360},
  };
  for (const auto& c : cases) {
    CTaskValues v;
    v.frequencyHour = c.hours;
    v.frequencyMinute = c.minutes;
    EXPECT_EQ(TaskPeriodMs(CTask(v)), c.ms) << c.hours << " h " << c.minutes << " min";
  }
}

TEST(TrackingValues, SettingsFromConfig) {
  TempDir home(true);
  EXPECT_EQ(ReadTrackingSettings().sleepTimeMs, 1000);
  EXPECT_EQ(ReadTrackingSettings().msgPop, 0);
  home.Write("config.ini", "[Base]\nSleepTime=3\nMsgPop=1\n");
  EXPECT_EQ(ReadTrackingSettings().sleepTimeMs, 3000);
  EXPECT_EQ(ReadTrackingSettings().msgPop, 1);
}

}  // namespace

TEST_F(TrackingPassTest, UnobservedTaskTakesItsFirstValuesSilently) {
  // As the account gave it: out of stock at 99.00, never read here.
  shop.Page("/item/1.html", ProductPage("89.00", "0", "in stock"));
  CTaskValues v = Values();
  v.currentStock = 0;
  v.unobserved = true;
  TaskPtr task = AddTask(v);
  task->SetAddMode("import");
  auto tracker = MakeTracker();
  tracker->TrackingPass(task);  // the import's own first firing
  tracker->TrackingPass(task);

  EXPECT_EQ(task->GetCurrentPrice(), "89.00");
  EXPECT_EQ(task->GetCurrentStock(), 1);
  EXPECT_EQ(ChangeText(*task), "");
  EXPECT_EQ(events.Count("UpdateChangeData"), 0u);
  EXPECT_EQ(events.Count("Popup"), 0u);
  EXPECT_EQ(HistoryPoints(*task), -1);
  EXPECT_FALSE(task->GetUnobserved());
  EXPECT_EQ(home.Read("tasks.xml").find("Unobserved"), std::string::npos);

  // From now on changes are told.
  shop.Page("/item/1.html", ProductPage("79.00", "0", "sold out"));
  tracker->TrackingPass(task);
  EXPECT_EQ(LocalToUtf8(ChangeText(*task)), "Kettle价格变为79.00库存变为缺货");
  EXPECT_EQ(events.Count("Popup"), 1u);
}

namespace {

TEST_F(TrackingPassTest, AGeneralShopPageSilentOnStockIsToldUndeterminedOnce) {
  // Product data for search engines, with a price but no availability.
  shop.Page("/p.html",
            "<script type=\"application/ld+json\">{\"@type\":\"Product\",\"name\":"
            "\"Kettle\",\"sku\":\"1001\",\"offers\":{\"price\":\"99.00\"}}</script>" +
                std::string(1600, '.'));
  CTaskValues v = Values("/p.html");
  v.siteName = Utf8ToLocal("通用");
  AddTask(v);
  MakeTracker()->TrackingPass(tasks.TaskAt(0));
  // The next start of the program reads tasks.xml again.
  tasks.RemoveAll();
  ASSERT_TRUE(tasks.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(tasks.TaskAt(0)->GetCurrentStock(), STOCK_UNKNOWN);
  MakeTracker()->TrackingPass(tasks.TaskAt(0));
  ASSERT_EQ(events.Count("Popup"), 1u);
  EXPECT_EQ(LocalToUtf8(events.Named("Popup")[0].text), "Kettle库存变为不确定");
}

}  // namespace
