// Several processes on one program folder: `vantrelctl track` saves while
// `vantrelctl add` and `delete` change tasks.xml, and nothing is lost.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "base/ini.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "support/command_line.h"
#include "support/drawn_images.h"
#include "support/fake_program_servers.h"
#include "support/fakeshop.h"
#include "support/tempdir.h"

namespace {

std::string Page(const std::string& sku, const std::string& price) {
  return "<html><body><h1 id=\"name\">Kettle</h1><span id=\"sku\">" + sku +
         "</span><img id=\"pic\" src=\"/pic.png\"><em id=\"price\">" + price +
         "</em><div id=\"stock\">in stock</div><!--" + std::string(1600, '.') + "--></body></html>";
}

class SharedFolderTest : public testing::Test {
 protected:
  SharedFolderTest() {
    CSiteList sites;
    sites.AddSite(std::make_shared<CSite>(PlainPageSite("Fake", shop.Host())));
    EXPECT_TRUE(sites.SaveSites(home.File("sites.xml")));
    MakeDirectories(home.File("productimgs"));
    WriteImage(home.File("productimgs/blank.jpg"), DrawnImage(105, 105, {255, 255, 255, 255}),
               "jpg");
    servers.PointProgramAt();
    shop.Reply("/pic.png", MakeReply(EncodePng(DrawnImage(30, 20, {200, 0, 0, 255})), "image/png"));
    for (const char* sku : {"1", "2", "3", "4", "5", "6"}) shop.Page(Path(sku), Page(sku, "99.00"));
  }
  static std::string Path(const std::string& sku) { return "/item/" + sku + ".html"; }
  std::string Link(const std::string& sku) const { return shop.Link(Path(sku)); }
  int Add(const std::string& sku) const { return RunVantrelctl("add '" + Link(sku) + "'"); }
  std::vector<std::string> FileUrls() const {
    CTaskList list;
    EXPECT_TRUE(list.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
    std::vector<std::string> urls;
    for (const TaskPtr& task : list.Tasks()) urls.push_back(task->GetUrl());
    return urls;
  }

  TempDir home{true};
  FakeShop shop;
  FakeProgramServers servers;
};

TEST_F(SharedFolderTest, TrackSavingWhileAddAndDeleteRunLosesNothing) {
  for (const char* sku : {"1", "2", "3"}) ASSERT_EQ(Add(sku), 0);
  shop.Page(Path("3"), Page("3", "89.00"));
  // Passes three seconds apart: the second saves after the others changed
  // the file, the third is on a task deleted meanwhile.
  IniWriteString(home.File("config.ini"), "Base", "SleepTime", "3");
  std::thread track([] { RunVantrelctl("track --once"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  for (const char* sku : {"4", "5", "6"}) EXPECT_EQ(Add(sku), 0);
  EXPECT_EQ(RunVantrelctl("delete '" + Link("3") + "'"), 0);
  track.join();

  EXPECT_EQ(FileUrls(),
            (std::vector<std::string>{Link("1"), Link("2"), Link("4"), Link("5"), Link("6")}));
  EXPECT_FALSE(FileExists(home.File("productprices/" + shop.Host() + "_3.xml")));
}

}  // namespace
