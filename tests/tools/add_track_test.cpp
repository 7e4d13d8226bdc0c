// vantrelctl add, track --once and delete on one program directory, against
// a shop and the program's servers on 127.0.0.1.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/ini.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "services/history.h"
#include "support/drawn_images.h"
#include "support/fake_program_servers.h"
#include "support/fakeshop.h"
#include "support/tempdir.h"

namespace {

struct Output {
  std::string text;
  int status = -1;
};

Output RunTool(const std::string& arguments) {
  const char* dir = std::getenv("VANTREL_PROGRAM_DIR");
  const std::string command =
      std::string(dir ? dir : ".") + "/vantrelctl " + arguments + " 2>/dev/null";
  Output out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.text.append(buffer, n);
  const int raw = pclose(pipe);
  out.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

// A product page long enough to count as an observation.
std::string ProductPage(const std::string& price, const std::string& stock,
                        const std::string& picture) {
  return "<html><body><h1 id=\"name\">Kettle</h1><span id=\"sku\">1001</span>"
         "<img id=\"pic\" src=\"" +
         picture + "\"><em id=\"price\">" + price + "</em><div id=\"stock\">" + stock +
         "</div><!--" + std::string(1600, '.') + "--></body></html>";
}

class AddTrackToolTest : public testing::Test {
 protected:
  AddTrackToolTest() {
    CSiteList sites;
    sites.AddSite(
        std::make_shared<CSite>(PlainPageSite("Fake", "elsewhere.example|" + shop.Host())));
    EXPECT_TRUE(sites.SaveSites(home.File("sites.xml")));
    MakeDirectories(home.File("productimgs"));
    WriteImage(home.File("productimgs/blank.jpg"), DrawnImage(105, 105, {255, 255, 255, 255}),
               "jpg");
    IniWriteString(home.File("config.ini"), "Base", "SleepTime", "0");
    servers.PointProgramAt();
    shop.Reply("/pic.png",
               MakeReply(EncodePng(DrawnImage(300, 200, {200, 0, 0, 255})), "image/png"));
  }

  std::string Link() const { return shop.Link("/item/1.html"); }
  // The site's Domain, "|" and all, names the files.
  std::string Key() const { return "elsewhere.example_" + shop.Host() + "_1001"; }

  TempDir home{true};
  FakeShop shop;
  FakeProgramServers servers;
};

TEST_F(AddTrackToolTest, AddThenTrackSeesTheDrop) {
  shop.Page("/item/1.html", ProductPage("99.00", "in stock", shop.Link("/pic.png")));
  Output added = RunTool("add " + Quote(Link()) + " --minutes 30 --hours 0");
  ASSERT_EQ(added.status, 0) << added.text;
  EXPECT_EQ(added.text, "added\t" + Link() + "\tKettle\t99.00\t1\n");
  EXPECT_TRUE(FileExists(home.File("productimgs/" + Key())));
  EXPECT_TRUE(FileExists(home.File("productitems/" + Key() + ".xml")));

  shop.Page("/item/1.html", ProductPage("89.00", "in stock", shop.Link("/pic.png")));
  Output tracked = RunTool("track --once");
  ASSERT_EQ(tracked.status, 0) << tracked.text;
  EXPECT_NE(tracked.text.find("\tUpdateChangeData\t" + Link() +
                              "\tdown\tnochange\t89.00\t1\t"
                              "Kettle价格变为89.00\n"),
            std::string::npos)
      << tracked.text;

  CPriceInfo history;
  ASSERT_TRUE(history.LoadCache(home.File("productprices/" + Key() + ".xml")));
  // The point of the add and the new one (both may carry the same second).
  ASSERT_EQ(history.GetItemCount(), 2u);
  const std::vector<CPriceInfoItem> points = history.Items();
  EXPECT_TRUE(points[0].price == "89.00" || points[1].price == "89.00");
  EXPECT_EQ(history.GetLowestPrice(), "89.00");
}

TEST_F(AddTrackToolTest, RefusalsPrintTheMessage) {
  shop.Page("/item/1.html", ProductPage("99.00", "in stock", shop.Link("/pic.png")));
  shop.Page("/item/2.html", ProductPage("99.00", "", shop.Link("/pic.png")));
  ASSERT_EQ(RunTool("add " + Quote(Link())).status, 0);

  const struct {
    const char* what;
    std::string arguments;
    const char* text;
  } cases[] = {
      {"duplicate in other case", "add " + Quote("HTTP://" + shop.Host() + "/item/1.html"),
       "添加任务失败，已经存在！\n"},
      {"stock undetermined", "add " + Quote(shop.Link("/item/2.html")),
       "添加任务失败，抓取出错，请重新添加！\n"},
      {"no shop and no web link", "add unknown.example/1.html",
       "您跟踪的链接暂不支持！请点击软件右下角的链接联系开发者。\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Output out = RunTool(c.arguments);
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(out.text, c.text);
  }
  CTaskList saved;
  ASSERT_TRUE(saved.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(saved.GetCount(), 1);

  EXPECT_EQ(RunTool("add").status, 2);
  EXPECT_EQ(RunTool("add " + Quote(Link()) + " --hours").status, 2);
  EXPECT_EQ(RunTool("add " + Quote(Link()) + " --site Nowhere").status, 1);
}

TEST_F(AddTrackToolTest, NumbersThatMakeNoSenseAddNothing) {
  shop.Page("/item/1.html", ProductPage("99.00", "in stock", shop.Link("/pic.png")));
  const struct {
    const char* options;
    const char* text;
  } cases[] = {
      {"--hours abc", ""},
      {"--minutes -5", ""},
      {"--target x", ""},
      {"--target -1", ""},
      {"--hours 1h", ""},
      {"--minutes ''", ""},
      {"--hours 0 --minutes 0", "频率要大于等于1分钟！\n"},
      {"--hours 0 --minutes 0.5", "频率要大于等于1分钟！\n"},
      {"--drop-percent 0x10", ""},
      {"--drop-percent 1e1", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    Output out = RunTool("add " + Quote(Link()) + " " + c.options);
    EXPECT_EQ(out.status, 2);
    EXPECT_EQ(out.text, c.text);
    EXPECT_FALSE(FileExists(home.File("tasks.xml")));
  }
  EXPECT_EQ(shop.Requests("/item/1.html"), 0);
}

// A product identifier too long for a file name still gets its files; a task
// whose files can't be written at all is not reported as added.
TEST_F(AddTrackToolTest, AddedOnlyWithItsFiles) {
  std::string page = ProductPage("99.00", "in stock", shop.Link("/pic.png"));
  page.replace(page.find("1001"), 4, std::string(300, '7'));
  shop.Page("/item/1.html", page);
  Output added = RunTool("add " + Quote(Link()));
  ASSERT_EQ(added.status, 0) << added.text;
  int histories = 0;
  for (const auto& entry : std::filesystem::directory_iterator(home.File("productprices"))) {
    EXPECT_LE(entry.path().filename().string().size(), 255u);
    if (entry.path().extension() == ".xml") ++histories;
  }
  EXPECT_EQ(histories, 1);

  std::filesystem::remove_all(home.File("productprices"));
  ASSERT_TRUE(WriteFileAtomic(home.File("productprices"), "not a folder"));
  shop.Page("/item/2.html", ProductPage("99.00", "in stock", shop.Link("/pic.png")));
  Output refused = RunTool("add " + Quote(shop.Link("/item/2.html")));
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.text, "添加任务失败，无法写入商品文件！\n");
  CTaskList saved;
  ASSERT_TRUE(saved.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(saved.GetCount(), 1);
}

TEST_F(AddTrackToolTest, DeleteRemovesTheTaskAndItsFiles) {
  shop.Page("/item/1.html", ProductPage("99.00", "in stock", shop.Link("/pic.png")));
  ASSERT_EQ(RunTool("add " + Quote(Link()) + " --site Fake --target 80 --no-stock --rise").status,
            0);
  CTaskList before;
  ASSERT_TRUE(before.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
  ASSERT_EQ(before.GetCount(), 1);
  const CTaskValues v = before.TaskAt(0)->GetValues();
  EXPECT_EQ(v.targetPrice, "80");
  EXPECT_FALSE(v.trackStock);
  EXPECT_TRUE(v.priceUp && v.priceDown && v.trackPrice);

  Output out = RunTool("delete " + Quote(Link()));
  ASSERT_EQ(out.status, 0);
  EXPECT_EQ(out.text, "deleted\t" + Link() + "\n");
  EXPECT_FALSE(FileExists(home.File("productimgs/" + Key())));
  EXPECT_FALSE(FileExists(home.File("productitems/" + Key() + ".xml")));
  EXPECT_FALSE(FileExists(home.File("productprices/" + Key() + ".xml")));
  EXPECT_TRUE(FileExists(home.File("productimgs/blank.jpg")));
  CTaskList after;
  ASSERT_TRUE(after.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
  EXPECT_EQ(after.GetCount(), 0);

  EXPECT_EQ(RunTool("delete " + Quote(Link())).status, 1);
}

}  // namespace
