// A new task's files: names, the picture and its fallbacks, the buy link,
// the order of save, event and timer, and deleting them again.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/stringtable.h"
#include "productfiles_fixture.h"
#include "services/history.h"
#include "services/productcache.h"

namespace {

class ProductFilesTest : public ProductFilesFixture {};

TEST_F(ProductFilesTest, FilesAreNamedByTheKeyOfDomainAndProduct) {
  ServePicture("/p.png", EncodePng(DrawnImage(50, 50, {1, 2, 3, 255})));
  TaskPtr task = ListedTask("a/b|c", "x/y", shop.Link("/p.png"));
  ASSERT_TRUE(PrepareProductFiles(Environment(), task));

  EXPECT_TRUE(FileExists(home.File("productitems/a_b_c_x_y.xml")));
  EXPECT_TRUE(FileExists(home.File("productprices/a_b_c_x_y.xml")));
  EXPECT_TRUE(FileExists(home.File("productimgs/a_b_c_x_y")));
  EXPECT_EQ(SentPicture(task), home.File("productimgs/a_b_c_x_y"));
}

TEST_F(ProductFilesTest, ComparisonAndHistoryAreFetchedAndAttached) {
  ServePicture("/p.png", EncodePng(DrawnImage(50, 50, {1, 2, 3, 255})));
  TaskPtr task = ListedTask(shop.Host(), "7", shop.Link("/p.png"));
  // Whatever is on disk, the comparison is fetched again.
  home.Write("productitems/" + ProductFileKey(*task) + ".xml", "stale");
  ASSERT_TRUE(PrepareProductFiles(Environment(), task));

  EXPECT_EQ(servers.Requests(ProgramEndpoint::kComparison), 1);
  EXPECT_EQ(servers.Requests(ProgramEndpoint::kHistory), 1);
  EXPECT_NE(home.Read("productitems/" + ProductFileKey(*task) + ".xml"), "stale");
  EXPECT_NE(task->GetCompareInfo(), nullptr);
  ASSERT_NE(task->GetPriceHistory(), nullptr);
  // The current price is the history's first point.
  EXPECT_EQ(task->GetPriceHistory()->GetItemCount(), 1u);
}

struct PictureCase {
  const char* what;
  std::string bytes;
  int width, height;
  ImageFormat stored;
};

TEST_F(ProductFilesTest, PictureIsStoredAt105In105InItsOwnFormat) {
  const DrawnImage wide(300, 200, {200, 10, 10, 255});
  const DrawnImage small(80, 60, {10, 200, 10, 255});
  const PictureCase cases[] = {
      {"300 x 200 PNG", EncodePng(wide), 300, 200, ImageFormat::kPng},
      {"80 x 60 JPEG is enlarged", EncodeJpeg(small), 80, 60, ImageFormat::kJpeg},
      {"GIF written as PNG", EncodeGif(small), 80, 60, ImageFormat::kPng},
  };
  int n = 0;
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = "/pic" + std::to_string(++n);
    ServePicture(path, c.bytes);
    TaskPtr task = ListedTask(shop.Host(), "p" + std::to_string(n), shop.Link(path));
    ASSERT_TRUE(PrepareProductFiles(Environment(), task));
    ASSERT_EQ(SentPicture(task), ProductPicturePath(*task));
    CImage stored;
    ASSERT_TRUE(stored.Load(ProductPicturePath(*task)));
    EXPECT_EQ(stored.Width(), 105);
    EXPECT_EQ(stored.Height(), 105);
    EXPECT_EQ(stored.Format(), c.stored);
  }
}

TEST_F(ProductFilesTest, BlankPictureStandsInForAMissingOrBrokenOne) {
  shop.Reply("/gone.png", MakeReply("not here", "text/html", 404));
  ServePicture("/garbage.png", std::string(400, 'x'));
  ServePicture("/truncated.png", EncodePng(DrawnImage(300, 200, {9, 9, 9, 255})).substr(0, 60));
  const struct {
    const char* what;
    std::string link;
  } cases[] = {
      {"no picture link", ""},
      {"404", shop.Link("/gone.png")},
      {"not a picture", shop.Link("/garbage.png")},
      {"cut short", shop.Link("/truncated.png")},
      {"nobody listening", "http://127.0.0.1:1/p.png"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TaskPtr task = ListedTask(shop.Host(), "b" + std::to_string(++n), c.link);
    ASSERT_TRUE(PrepareProductFiles(Environment(), task));
    EXPECT_EQ(SentPicture(task), BlankPicturePath());
    // Nothing undecodable is left where the window looks for the picture.
    EXPECT_FALSE(FileExists(ProductPicturePath(*task)));
    EXPECT_TRUE(tracker->IsScheduled(task->GetUrl()));
  }
  EXPECT_TRUE(FileExists(BlankPicturePath()));
}

TEST_F(ProductFilesTest, YixunAndEfeihuPictureLinks) {
  const struct {
    const char* domain;
    const char* reference;
    const char* link;
  } cases[] = {
      {"item.yixun.com", "10-20-33", "http://img1.icson.com/product/mm/10/20/10-20-33.jpg"},
      {"item.51buy.com", "10-20-34", "http://img2.icson.com/product/mm/10/20/10-20-34.jpg"},
      {"ITEM.YIXUN.COM", "1-2-0", "http://img2.icson.com/product/mm/1/2/1-2-0.jpg"},
      {"item.yixun.com", "malformed", "http://img2.icson.com/product/mm/malformed//malformed.jpg"},
      {"www.efeihu.com", "abc", "http://img.efeihu.com/Images/Wap/android/abc.jpg"},
      {"www.shop.example", "http://img.shop.example/1.jpg", "http://img.shop.example/1.jpg"},
      {"item.yixun.com", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.domain) + " " + c.reference);
    CTaskValues v;
    v.siteDomain = c.domain;
    v.imageLink = c.reference;
    EXPECT_EQ(ProductPictureLink(CTask(v)), c.link);
  }
}

TEST_F(ProductFilesTest, YixunPictureComesFromServerOneForAnOddNumber) {
  // Server 1 is the shop on 127.0.0.1; server 2 (127.0.0.2) does not answer.
  const std::string port = shop.Host().substr(shop.Host().find(':'));
  SetHost("YixunHost1", "yixun.test");
  SetHost("YixunImageHost", "127.0.0.%s" + port);
  ServePicture("/product/mm/10/20/10-20-33.jpg", EncodeJpeg(DrawnImage(300, 200, {5, 5, 5, 255})),
               "image/jpeg");
  TaskPtr odd = ListedTask("yixun.test", "33", "10-20-33");
  ASSERT_TRUE(PrepareProductFiles(Environment(), odd));
  EXPECT_EQ(SentPicture(odd), ProductPicturePath(*odd));
  EXPECT_EQ(shop.Requests("/product/mm/10/20/10-20-33.jpg"), 1);
}

TEST_F(ProductFilesTest, BuyLinkByShop) {
  servers.Commission("jd", "http://buy.example/jd");
  servers.Commission("yhd", "FALSE");
  const struct {
    const char* what;
    const char* domain;
    const char* taobaoAnswer;
    const char* gotoUrl;
    int requests;
  } cases[] = {
      {"JD", "item.jd.com", "", "http://buy.example/jd", 1},
      {"Taobao", "item.taobao.com", "http://buy.example/tb", "http://buy.example/tb", 1},
      {"Tmall is Taobao's", "detail.tmall.com", "http://buy.example/tm", "http://buy.example/tm",
       1},
      {"Taobao not logged in", "item.taobao.com", "nologin", "", 1},
      {"Yihaodian answers false", "item.yhd.com", "", "", 1},
      {"service silent", "item.taobao.com", "", "", 1},
      {"not promoted", "item.taobao.com",
       "\xE5\x95\x86\xE5\x93\x81\xE4\xB8\x8D\xE5\x9C\xA8\xE6\x8E\xA8\xE5\xB9\xBF\xE4\xB8\xAD", "",
       1},
      {"an error page", "item.taobao.com", "<html><body>500</body></html>", "", 1},
      {"a link and a page", "item.taobao.com", "http://buy.example/tb\n<html>", "", 1},
      {"other shop: not asked", "www.shop.example", "", "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    servers.Commission("taobao", c.taobaoAnswer);
    const int before = servers.Requests(ProgramEndpoint::kCommission);
    TaskPtr task = ListedTask(c.domain, "1", "");
    ASSERT_TRUE(PrepareProductFiles(Environment(), task));
    EXPECT_EQ(task->GetGotoUrl(), c.gotoUrl);
    EXPECT_EQ(servers.Requests(ProgramEndpoint::kCommission) - before, c.requests);
  }
  // The answer is in tasks.xml: the save comes after the buy link.
  CTaskList saved;
  ASSERT_TRUE(saved.LoadTasks(ProgramFile("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(saved.TaskAt(0)->GetGotoUrl(), "http://buy.example/jd");
}

TEST_F(ProductFilesTest, BuyLinkShopKeysFollowTheConfiguredSuffixes) {
  EXPECT_EQ(BuyLinkShopKey("item.JD.com"), "jd");
  EXPECT_EQ(BuyLinkShopKey("www.yihaodian.com"), "yhd");
  EXPECT_EQ(BuyLinkShopKey("www.amazon.cn"), "");
  SetHost("JdSuffix", "");
  EXPECT_EQ(BuyLinkShopKey("item.jd.com"), "");
}

TEST_F(ProductFilesTest, AFailedSaveStopsBeforeThePicture) {
  ServePicture("/p.png", EncodePng(DrawnImage(50, 50, {1, 2, 3, 255})));
  // A folder where tasks.xml should be can't be replaced by a file.
  MakeDirectories(home.File("tasks.xml"));
  TaskPtr task = ListedTask(shop.Host(), "1", shop.Link("/p.png"));
  EXPECT_FALSE(PrepareProductFiles(Environment(), task));

  EXPECT_EQ(Messages(), std::vector<unsigned>{IDS_SAVE_TASKS_FAILED});
  EXPECT_EQ(events.Count("UpdateData"), 0u);
  EXPECT_FALSE(tracker->IsScheduled(task->GetUrl()));
  EXPECT_EQ(shop.Requests("/p.png"), 0);
  EXPECT_EQ(tasks.IndexOf(task.get()), 0);  // the task stays in the list
}

TEST_F(ProductFilesTest, SavesThenSendsThenSchedulesAFirstFiringThatOnlyClearsAddMode) {
  TaskPtr task = ListedTask(shop.Host(), "1", "");
  ASSERT_TRUE(PrepareProductFiles(Environment(), task));
  const std::vector<RecordedEvent> sent = events.Named("UpdateData");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(sent[0].sent);
  EXPECT_EQ(sent[0].addMode, "add");
  CTaskList saved;
  ASSERT_TRUE(saved.LoadTasks(ProgramFile("tasks.xml"), "", "", nullptr));
  EXPECT_NE(saved.FindByUrl(task->GetUrl()), nullptr);

  ASSERT_TRUE(tracker->IsScheduled(task->GetUrl()));
  ASSERT_TRUE(tracker->Queue().WaitIdle(std::chrono::seconds(10)));
  EXPECT_EQ(task->GetAddMode(), "");
  EXPECT_EQ(shop.TotalRequests(), 0);  // the page was not fetched
}

TEST_F(ProductFilesTest, ListPicturesShrinkButNeverGrow) {
  WriteImage(home.File("big.png"), DrawnImage(300, 200, {1, 1, 1, 255}), "png");
  WriteImage(home.File("small.jpg"), DrawnImage(80, 60, {1, 1, 1, 255}), "jpg");
  WriteImage(home.File("tall.gif"), DrawnImage(20, 106, {1, 1, 1, 255}), "gif");
  const std::string smallBytes = home.Read("small.jpg");

  CImage picture;
  ASSERT_TRUE(LoadListPicture(home.File("big.png"), picture));
  EXPECT_EQ(picture.Width(), 105);
  CImage reread;
  ASSERT_TRUE(reread.Load(home.File("big.png")));
  EXPECT_EQ(reread.Width(), 105);
  EXPECT_EQ(reread.Height(), 105);

  ASSERT_TRUE(LoadListPicture(home.File("small.jpg"), picture));
  EXPECT_EQ(picture.Width(), 80);
  EXPECT_EQ(home.Read("small.jpg"), smallBytes);

  ASSERT_TRUE(LoadListPicture(home.File("tall.gif"), picture));
  ASSERT_TRUE(reread.Load(home.File("tall.gif")));
  EXPECT_EQ(reread.Height(), 105);

  home.Write("broken.png", "nothing");
  EXPECT_FALSE(LoadListPicture(home.File("broken.png"), picture));
  EXPECT_FALSE(LoadListPicture(home.File("missing.png"), picture));
}

TEST_F(ProductFilesTest, DeletingATaskRemovesItsThreeFilesOnly) {
  ServePicture("/p.png", EncodePng(DrawnImage(50, 50, {1, 2, 3, 255})));
  TaskPtr kept = ListedTask(shop.Host(), "keep", "");
  TaskPtr task = ListedTask(shop.Host(), "gone", shop.Link("/p.png"));
  ASSERT_TRUE(PrepareProductFiles(Environment(), kept));
  ASSERT_TRUE(PrepareProductFiles(Environment(), task));
  const std::string picture = ProductPicturePath(*task);
  ASSERT_TRUE(FileExists(picture));
  events.Clear();

  ASSERT_TRUE(DeleteTask(Environment(), task));
  EXPECT_FALSE(FileExists(picture));
  EXPECT_FALSE(FileExists(ProductComparisonPath(*task)));
  EXPECT_FALSE(FileExists(ProductHistoryPath(*task)));
  EXPECT_TRUE(FileExists(BlankPicturePath()));
  EXPECT_TRUE(FileExists(ProductHistoryPath(*kept)));
  EXPECT_FALSE(tracker->IsScheduled(task->GetUrl()));
  EXPECT_TRUE(tracker->IsScheduled(kept->GetUrl()));

  const std::vector<RecordedEvent> sent = events.Named("UpdateData");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].addMode, "del");
  CTaskList saved;
  ASSERT_TRUE(saved.LoadTasks(ProgramFile("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(saved.GetCount(), 1);
  EXPECT_EQ(saved.FindByUrl(task->GetUrl()), nullptr);

  // Twice, or a task never listed: nothing happens.
  EXPECT_FALSE(DeleteTask(Environment(), task));
  EXPECT_EQ(events.Count("UpdateData"), 1u);
}

TEST_F(ProductFilesTest, FilesSharedByAnotherTaskOutliveTheDeletedOne) {
  ServePicture("/p.png", EncodePng(DrawnImage(50, 50, {1, 2, 3, 255})));
  // Two links of one shop's product share one key and so one set of files.
  TaskPtr first = ListedTask(shop.Host(), "same", shop.Link("/p.png"));
  TaskPtr second = ListedTask(shop.Host(), "same", shop.Link("/p.png"));
  ASSERT_TRUE(PrepareProductFiles(Environment(), first));
  ASSERT_TRUE(PrepareProductFiles(Environment(), second));
  const std::string files[] = {ProductPicturePath(*first), ProductComparisonPath(*first),
                               ProductHistoryPath(*first)};

  ASSERT_TRUE(DeleteTask(Environment(), first));
  for (const std::string& file : files) EXPECT_TRUE(FileExists(file)) << file;
  ASSERT_TRUE(DeleteTask(Environment(), second));
  for (const std::string& file : files) EXPECT_FALSE(FileExists(file)) << file;
}

// Every file a task with hostile shop data gets (comparison, history,
// picture, the caches read at load time) stays in the product folders, and
// deleting the task removes them again.
TEST_F(ProductFilesTest, HostileDomainAndIdentifierStayInTheProductFolders) {
  ServePicture("/p.png", EncodePng(DrawnImage(50, 50, {1, 2, 3, 255})));
  const std::string marker = "vantrel-escape-" + std::to_string(getpid());
  const std::string id = "..\\..\\" + marker + std::string("\0/\r\n\x01\x7f..", 8);
  TaskPtr task = ListedTask("..\\..\\" + marker, id, shop.Link("/p.png"));
  ASSERT_TRUE(PrepareProductFiles(Environment(), task));
  // The cache read at load time names the same files as the task's paths.
  EXPECT_EQ(ComparisonFilePath(*task, ProgramFile("productitems/")), ProductComparisonPath(*task));
  EXPECT_EQ(HistoryFilePath(*task, ProgramFile("productprices/")), ProductHistoryPath(*task));
  AttachProductCaches(*task, ProgramFile("productitems/"), ProgramFile("productprices/"), &sites);

  std::vector<std::string> inHome;
  std::error_code ec;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Path(), ec))
    if (entry.is_regular_file()) inHome.push_back(entry.path().string().substr(home.Path().size()));
  std::sort(inHome.begin(), inHome.end());
  const std::string key = ProductFileKey(*task);
  const std::vector<std::string> expected = {"config.ini",
                                             "productimgs/" + key,
                                             "productimgs/blank.jpg",
                                             "productitems/" + key + ".xml",
                                             "productprices.lock",
                                             "productprices/" + key + ".xml",
                                             "productprices/" + key + ".xml.spare",
                                             "tasks.xml",
                                             "tasks.xml.lock",
                                             "tasks.xml.spare"};
  EXPECT_EQ(inHome, expected);

  ASSERT_TRUE(DeleteTask(Environment(), task));
  EXPECT_FALSE(FileExists(ProductPicturePath(*task)));
  EXPECT_FALSE(FileExists(ProductHistoryPath(*task)));

  // Nothing anywhere in the temporary root carries the marker.
  std::filesystem::path root = std::filesystem::path(home.Path()).parent_path().parent_path();
  auto it = std::filesystem::recursive_directory_iterator(
      root, std::filesystem::directory_options::skip_permission_denied, ec);
  for (; !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it.depth() >= 3) it.disable_recursion_pending();
    EXPECT_EQ(it->path().filename().string().find(marker), std::string::npos) << it->path();
  }
}

}  // namespace
