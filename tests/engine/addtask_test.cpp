// The add pipeline: placeholder, fetch, accept or refuse, duplicates, the
// account report, the import entry, and the add window's shop guess.
#include <string>

#include "base/codepage.h"
#include "base/stringtable.h"
#include "engine/generic.h"
#include "productfiles_fixture.h"
#include "services/account.h"
#include "support/fake_account_server.h"

namespace {

// A product page; an empty value leaves its element out, an empty stock text
// leaves the stock undetermined.
std::string Page(const std::string& name, const std::string& id, const std::string& image,
                 const std::string& price, const std::string& stock,
                 const std::string& extra = "") {
  std::string page = "<html><body>";
  if (!name.empty()) page += "<h1 id=\"name\">" + name + "</h1>";
  if (!id.empty()) page += "<span id=\"sku\">" + id + "</span>";
  if (!image.empty()) page += "<img id=\"pic\" src=\"" + image + "\">";
  if (!price.empty()) page += "<em id=\"price\">" + price + "</em>";
  return page + "<div id=\"stock\">" + stock + "</div>" + extra + "</body></html>";
}

class AddTaskTest : public ProductFilesFixture {
 protected:
  AddTaskTest() {
    sites.AddSite(std::make_shared<CSite>(ShopSite("Fake", shop.Host(), "")));
    ServePicture("/pic.png", EncodePng(DrawnImage(300, 200, {200, 10, 10, 255})));
  }

  static CSite ShopSite(const std::string& name, const std::string& domain,
                        const std::string& flag) {
    CSite site = PlainPageSite(name, domain);
    site.SetFlag(flag);
    return site;
  }

  std::string Picture() { return shop.Link("/pic.png"); }

  TaskPtr Placeholder(const std::string& path, const std::string& hours = "1",
                      const std::string& minutes = "0") {
    AddChoices choices;
    choices.link = shop.Link(path);
    choices.siteName = "Fake";
    choices.frequencyHour = hours;
    choices.frequencyMinute = minutes;
    return MakePlaceholderTask(choices, ProgramProductServices(&sites));
  }

  // The AddMode of the one "UpdateData" sent for the task.
  std::string SentMode(const TaskPtr& task) {
    std::string mode;
    for (const RecordedEvent& event : events.Named("UpdateData"))
      if (event.task == task && event.sent && mode.empty()) mode = event.addMode;
    return mode;
  }
};

TEST_F(AddTaskTest, PlaceholderShowsTheFetchingState) {
  AddChoices choices;
  choices.link = shop.Link("/item/1.html?x=1#reviews");
  choices.siteName = "Fake";
  choices.targetPrice = "80";
  TaskPtr task = MakePlaceholderTask(choices, ProgramProductServices(&sites));
  const CTaskValues v = task->GetValues();
  EXPECT_EQ(v.url.find('#'), std::string::npos);
  EXPECT_EQ(v.imageLink, BlankPicturePath());
  EXPECT_EQ(v.productName, LoadString(IDS_FIRST_FETCH));
  EXPECT_EQ(v.currentPrice, LoadString(IDS_STATE_FETCHING));
  EXPECT_EQ(v.status, FETCHING_MARK);
  EXPECT_EQ(v.currentStock, FETCHING_MARK);
  EXPECT_EQ(v.siteName, "Fake");
  EXPECT_EQ(v.targetPrice, "80");
  EXPECT_TRUE(v.siteDomain.empty() && v.productId.empty() && v.gotoUrl.empty());
  EXPECT_FALSE(v.lastUpdate.empty());
}

TEST_F(AddTaskTest, AnAcceptedProductBecomesATrackedTaskWithItsFiles) {
  shop.Page("/item/1.html", Page("Kettle&nbsp;Pro", "1001", Picture(), "99.00", "in stock"));
  TaskPtr task = Placeholder("/item/1.html");
  EXPECT_EQ(AddWorker(Environment(), task), AddResult::kAdded);

  const CTaskValues v = task->GetValues();
  EXPECT_EQ(v.productName, "KettlePro");
  EXPECT_EQ(v.productId, "1001");
  EXPECT_EQ(v.siteDomain, shop.Host());
  EXPECT_EQ(v.imageLink, Picture());
  EXPECT_EQ(v.currentPrice, "99.00");
  EXPECT_EQ(v.currentStock, 1);
  EXPECT_EQ(v.status, 1);
  EXPECT_EQ(tasks.IndexOf(task.get()), 0);
  EXPECT_EQ(SentMode(task), "add");
  EXPECT_EQ(SentPicture(task), ProductPicturePath(*task));
  EXPECT_TRUE(Messages().empty());
  // Not JD, Taobao, Tmall or Yihaodian: no buy link is asked for.
  EXPECT_EQ(v.gotoUrl, "");
  EXPECT_EQ(servers.Requests(ProgramEndpoint::kCommission), 0);

  CTaskList saved;
  ASSERT_TRUE(saved.LoadTasks(ProgramFile("tasks.xml"), "", "", nullptr));
  ASSERT_EQ(saved.GetCount(), 1);
  EXPECT_EQ(saved.TaskAt(0)->GetStatus(), 1);
  EXPECT_EQ(saved.TaskAt(0)->GetCurrentPrice(), "99.00");
}

struct RefusalCase {
  const char* what;
  std::string page;  // empty: the shop answers 404
  AddResult result;
  const char* price;  // when added
  int stock;
};

TEST_F(AddTaskTest, AcceptRule) {
  const std::string pic = Picture();
  const RefusalCase cases[] = {
      {"in stock with a price", Page("Kettle", "1", pic, "99.00", "in stock"), AddResult::kAdded,
       "99.00", 1},
      {"out of stock without a price", Page("Kettle", "2", pic, "", "sold out"), AddResult::kAdded,
       "0.00", 0},
      {"out of stock with a price", Page("Kettle", "3", pic, "99.00", "sold out"),
       AddResult::kAdded, "99.00", 0},
      {"stock undetermined", Page("Kettle", "4", pic, "99.00", ""), AddResult::kFailed, "", 0},
      // In stock, but the price can't be read: not a product at 0.00.
      {"in stock without a price", Page("Kettle", "8", pic, "", "in stock"), AddResult::kFailed, "",
       0},
      {"in stock, price not a number", Page("Kettle", "9", pic, "ask us", "in stock"),
       AddResult::kFailed, "", 0},
      {"no name", Page("", "5", pic, "99.00", "in stock"), AddResult::kFailed, "", 0},
      {"no identifier", Page("Kettle", "", pic, "99.00", "in stock"), AddResult::kFailed, "", 0},
      {"no picture link", Page("Kettle", "7", "", "99.00", "in stock"), AddResult::kFailed, "", 0},
      {"no page", "", AddResult::kFailed, "", 0},
  };
  int n = 0;
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = "/item/" + std::to_string(++n) + ".html";
    if (c.page.empty())
      shop.Reply(path, MakeReply("", "text/html", 404));
    else
      shop.Page(path, c.page);
    const int listed = tasks.GetCount();
    const size_t shown = Messages().size();
    TaskPtr task = Placeholder(path);

    ASSERT_EQ(AddWorker(Environment(), task), c.result);
    if (c.result == AddResult::kAdded) {
      EXPECT_EQ(task->GetCurrentPrice(), c.price);
      EXPECT_EQ(task->GetCurrentStock(), c.stock);
      EXPECT_EQ(tasks.GetCount(), listed + 1);
      EXPECT_EQ(SentMode(task), "add");
      EXPECT_EQ(Messages().size(), shown);
    } else {
      EXPECT_EQ(tasks.GetCount(), listed);
      EXPECT_EQ(SentMode(task), "del_faild_init");
      ASSERT_EQ(Messages().size(), shown + 1);
      EXPECT_EQ(Messages().back(), IDS_ADD_FETCH_FAILED);
      EXPECT_FALSE(tracker->IsScheduled(task->GetUrl()));
    }
  }
}

TEST_F(AddTaskTest, ALearnedShopNeedsNeitherAPictureNorAStatedStock) {
  CSite learned = ShopSite("Learned", shop.Host(), "");
  learned.SetStockRegex("");
  learned.SetLearned("2024-05-01 10:00:00");
  sites.AddSite(std::make_shared<CSite>(learned));
  shop.Page("/item/1.html", Page("Kettle", "1", "", "99.00", ""));
  AddChoices choices;
  choices.link = shop.Link("/item/1.html");
  choices.siteName = "Learned";
  TaskPtr task = MakePlaceholderTask(choices, ProgramProductServices(&sites));
  ASSERT_EQ(AddWorker(Environment(), task), AddResult::kAdded);
  EXPECT_EQ(task->GetCurrentPrice(), "99.00");
  EXPECT_EQ(task->GetCurrentStock(), STOCK_UNKNOWN);
}

TEST_F(AddTaskTest, AGeneralShopLinkWithoutAPriceIsRememberedForLearning) {
  shop.Page("/item/2.html", R"(<script type="application/ld+json">{"@type":"Product",)"
                            R"("name":"Kettle","sku":"K2"}</script>)");
  AddChoices choices;
  choices.link = shop.Link("/item/2.html");
  choices.siteName = GenericSiteName();
  TaskPtr task = MakePlaceholderTask(choices, ProgramProductServices(&sites));
  EXPECT_FALSE(WasUnpricedLink(task->GetUrl()));
  EXPECT_EQ(AddWorker(Environment(), task), AddResult::kFailed);
  EXPECT_TRUE(WasUnpricedLink(task->GetUrl()));
}

TEST_F(AddTaskTest, AFailedFetchWritesNothing) {
  shop.Page("/item/1.html", Page("Kettle", "1", Picture(), "99.00", ""));
  TaskPtr task = Placeholder("/item/1.html");
  EXPECT_EQ(AddWorker(Environment(), task), AddResult::kFailed);
  EXPECT_FALSE(FileExists(ProgramFile("tasks.xml")));
  EXPECT_EQ(servers.Requests(ProgramEndpoint::kHistory), 0);
  EXPECT_EQ(shop.Requests("/pic.png"), 0);
}

TEST_F(AddTaskTest, ASiteThatLeftTheListFailsTheAdd) {
  shop.Page("/item/1.html", Page("Kettle", "1", Picture(), "99.00", "in stock"));
  AddChoices choices;
  choices.link = shop.Link("/item/1.html");
  choices.siteName = "Gone";
  TaskPtr task = MakePlaceholderTask(choices, {});
  EXPECT_EQ(AddWorker(Environment(), task), AddResult::kFailed);
  EXPECT_EQ(shop.TotalRequests(), 0);
  EXPECT_EQ(SentMode(task), "del_faild_init");
}

TEST_F(AddTaskTest, ALinkTrackedInOtherLetterCaseIsADuplicate) {
  shop.Page("/item/1.html", Page("Kettle", "1", Picture(), "99.00", "in stock"));
  CTaskValues existing;
  existing.url = "HTTP://" + shop.Host() + "/ITEM/1.HTML";
  existing.status = 1;
  ASSERT_TRUE(tasks.AddTask(std::make_shared<CTask>(existing)));

  TaskPtr task = Placeholder("/item/1.html");
  EXPECT_EQ(AddWorker(Environment(), task), AddResult::kDuplicate);
  EXPECT_EQ(tasks.GetCount(), 1);
  EXPECT_EQ(SentMode(task), "del_dup_init");
  EXPECT_EQ(Messages(), std::vector<unsigned>{IDS_ADD_DUPLICATE});
  EXPECT_FALSE(FileExists(ProgramFile("tasks.xml")));
  EXPECT_FALSE(tracker->IsScheduled(task->GetUrl()));
}

TEST_F(AddTaskTest, FrequencyDecidesWhetherTheTimerFiresOnce) {
  shop.Page("/item/1.html", Page("Kettle", "1", Picture(), "99.00", "in stock"));
  shop.Page("/item/2.html", Page("Kettle", "2", Picture(), "99.00", "in stock"));
  TaskPtr once = Placeholder("/item/1.html", "0", "0");
  ASSERT_EQ(AddWorker(Environment(), once), AddResult::kAdded);
  ASSERT_TRUE(tracker->Queue().WaitIdle(std::chrono::seconds(10)));
  // The one firing was the one that clears AddMode.
  EXPECT_EQ(once->GetAddMode(), "");
  EXPECT_EQ(tracker->Queue().TimerCount(), 0u);
  EXPECT_EQ(shop.Requests("/item/1.html"), 1);

  TaskPtr hourly = Placeholder("/item/2.html", "1", "0");
  ASSERT_EQ(AddWorker(Environment(), hourly), AddResult::kAdded);
  ASSERT_TRUE(tracker->Queue().WaitIdle(std::chrono::seconds(10)));
  EXPECT_EQ(hourly->GetAddMode(), "");
  EXPECT_EQ(tracker->Queue().TimerCount(), 1u);
}

TEST_F(AddTaskTest, APageFlagNamesAnotherShop) {
  sites.AddSite(std::make_shared<CSite>(ShopSite("Mall", "mall.example", "mall-marker")));
  shop.Page("/item/1.html",
            Page("Kettle", "1", Picture(), "99.00", "in stock", "<!-- mall-marker -->"));
  TaskPtr task = Placeholder("/item/1.html");
  ASSERT_EQ(AddWorker(Environment(), task), AddResult::kAdded);
  EXPECT_EQ(task->GetSiteName(), "Mall");
  EXPECT_EQ(task->GetSiteDomain(), "mall.example");
  EXPECT_TRUE(FileExists(home.File("productprices/mall.example_1.xml")));
}

TEST_F(AddTaskTest, AddedTasksGoToTheAccountOnlyWhenLoggedIn) {
  FakeAccountServer account;
  account.AddAccount("lin@example.com", "c2VjcmV0", "Lin");
  account.PointProgramAt();
  shop.Page("/item/1.html", Page("Kettle", "1", Picture(), "99.00", "in stock"));
  shop.Page("/item/2.html", Page("Kettle", "2", Picture(), "99.00", "in stock"));

  ASSERT_EQ(AddWorker(Environment(), Placeholder("/item/1.html")), AddResult::kAdded);
  EXPECT_EQ(account.Requests("task"), 0);

  ASSERT_TRUE(SaveAccount({"lin@example.com", "c2VjcmV0", "Lin"}));
  TaskPtr task = Placeholder("/item/2.html");
  ASSERT_EQ(AddWorker(Environment(), task), AddResult::kAdded);
  EXPECT_EQ(account.StoredUrls("lin@example.com"), std::vector<std::string>{task->GetUrl()});
}

TEST_F(AddTaskTest, ImportedTasksGetTheirFilesOnTheirOwnThread) {
  ServePicture("/p.png", EncodePng(DrawnImage(50, 50, {1, 2, 3, 255})));
  CTaskValues v;
  v.url = shop.Link("/item/9.html");
  v.siteDomain = shop.Host();
  v.productId = "9";
  v.imageLink = shop.Link("/p.png");
  v.status = 1;
  v.frequencyHour = "1";
  auto imported = std::make_shared<CTask>(v);
  auto twice = std::make_shared<CTask>(v);
  {
    CAddWorkers workers(Environment());
    EXPECT_TRUE(workers.StartImport(imported));
    EXPECT_FALSE(workers.StartImport(twice));
  }  // waits for the thread
  EXPECT_EQ(tasks.GetCount(), 1);
  EXPECT_EQ(SentMode(imported), "import");
  EXPECT_TRUE(imported->GetUnobserved()) << "its first pass must tell nothing";
  EXPECT_EQ(SentPicture(imported), ProductPicturePath(*imported));
  EXPECT_TRUE(tracker->IsScheduled(imported->GetUrl()));
  EXPECT_EQ(events.Count("UpdateData"), 1u);
}

TEST_F(AddTaskTest, WorkersRunSeveralAddsAtOnce) {
  std::atomic<int> added{0};
  {
    CAddWorkers workers(Environment());
    for (int i = 1; i <= 6; ++i) {
      const std::string path = "/item/" + std::to_string(i) + ".html";
      shop.Page(path, Page("Kettle", std::to_string(i), Picture(), "99.00", "in stock"));
      workers.StartAdd(Placeholder(path), [&added](AddResult result) {
        if (result == AddResult::kAdded) ++added;
      });
    }
  }
  EXPECT_EQ(added, 6);
  EXPECT_EQ(tasks.GetCount(), 6);
  CTaskList saved;
  ASSERT_TRUE(saved.LoadTasks(ProgramFile("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(saved.GetCount(), 6);
}

TEST(GuessSiteTest, FirstSiteWithAHostInTheLink) {
  CSiteList sites;
  const char* domains[][2] = {{"Empty", "||"},
                              {"Two", "www.two.example|item.two.example"},
                              {"One", "www.one.example"},
                              {"Also two", "item.two.example"}};
  for (const auto& d : domains) {
    auto site = std::make_shared<CSite>();
    site->SetName(d[0]);
    site->SetDomain(d[1]);
    sites.AddSite(site);
  }
  const struct {
    const char* link;
    const char* site;  // "" for none
  } cases[] = {
      {"http://item.two.example/1.html", "Two"},
      {"http://www.one.example/1.html", "One"},
      {"https://www.one.example", "One"},
      {"www.one.example", "One"},  // 15 characters
      {"one.example", ""},         // the host name is not in it
      {"item.two.e", ""},          // 10 characters: never guessed
      {"http://shop.example/x.html", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.link);
    SiteRef site = GuessSiteFromLink(sites, c.link);
    EXPECT_EQ(site ? site->GetName() : "", c.site);
  }
}

}  // namespace

namespace {

TEST(AcceptProductTest, NeedsNameIdPictureAndAPriceOrOutOfStock) {
  const struct {
    const char *name, *id, *image, *price;
    int stock;
    bool accepted;
  } cases[] = {
      {"n", "1", "p", "9.00", STOCK_IN, true},       {"n", "1", "p", "9.00", STOCK_OUT, true},
      {"n", "1", "p", "", STOCK_OUT, true},          {"n", "1", "p", "", STOCK_IN, false},
      {"n", "1", "p", "9.00", STOCK_UNKNOWN, false}, {"", "1", "p", "9.00", STOCK_IN, false},
      {"n", "", "p", "9.00", STOCK_IN, false},       {"n", "1", "", "", STOCK_OUT, false},
      {"n", "1", "p", "0.00", STOCK_IN, false},      {"n", "1", "p", "-3", STOCK_IN, false},
      {"n", "1", "p", "0.00", STOCK_OUT, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AcceptProduct(c.name, c.id, c.image, c.price, c.stock), c.accepted)
        << c.name << "|" << c.id << "|" << c.image << "|" << c.price << "|" << c.stock;
}

}  // namespace
