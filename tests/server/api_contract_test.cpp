// The server driven by the program's own client code: whatever the program
// sends, the server understands; whatever it answers, the program reads.
#include <gtest/gtest.h>

#include <string>

#include "base/codepage.h"
#include "base/files.h"
#include "base/timetext.h"
#include "engine/spider.h"
#include "engine/task.h"
#include "running_server.h"
#include "services/account.h"
#include "services/comparison.h"
#include "services/history.h"
#include "services/shoplinks.h"

namespace {

// "昵称" (nickname) and "电水壶 & 杯" (kettle & cup), local code page.
const std::string kNickname = Utf8ToLocal("昵称");
const std::string kProduct = Utf8ToLocal("电水壶 & 杯");

class ApiContract : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override { ASSERT_TRUE(server.Ready()); }

  static TaskPtr MakeTask(const std::string& url, const std::string& name) {
    CTaskValues values;
    values.url = url;
    values.productName = name;
    values.status = 1;
    values.currentPrice = "99.00";
    values.siteName = Utf8ToLocal("甲商城");
    return std::make_shared<CTask>(values);
  }

  RunningServer server{GetParam()};
};

TEST_P(ApiContract, RegisterCheckAndLogIn) {
  EXPECT_FALSE(ServerEmailUsed("lin@example.com"));
  EXPECT_TRUE(ServerRegister("lin@example.com", EncodePassword("secret"), kNickname));
  EXPECT_TRUE(ServerEmailUsed("lin@example.com"));
  EXPECT_TRUE(ServerEmailUsed("LIN@example.com"));  // addresses ignore case
  EXPECT_FALSE(ServerRegister("lin@example.com", EncodePassword("other"), "again"));

  std::string nickname;
  EXPECT_TRUE(ServerLogin("lin@example.com", EncodePassword("secret"), nickname));
  EXPECT_EQ(nickname, kNickname);
  EXPECT_FALSE(ServerLogin("lin@example.com", EncodePassword("wrong"), nickname));
  EXPECT_FALSE(ServerLogin("nobody@example.com", EncodePassword("secret"), nickname));
  // A password of Chinese characters and one whose Base64 holds "+" and "/".
  EXPECT_TRUE(ServerRegister("wang@example.com", EncodePassword(Utf8ToLocal("密码>>>?")), "W"));
  EXPECT_TRUE(ServerLogin("wang@example.com", EncodePassword(Utf8ToLocal("密码>>>?")), nickname));
}

TEST_P(ApiContract, PasswordsAreKeptOnlyAsSlowHashes) {
  ASSERT_TRUE(ServerRegister("lin@example.com", EncodePassword("secret"), "Lin"));
  auto account = server.store->FindAccount("lin@example.com");
  ASSERT_TRUE(account);
  EXPECT_EQ(account->passwordHash.rfind("$argon2id$", 0), 0u);
  EXPECT_EQ(account->passwordHash.find(EncodePassword("secret")), std::string::npos);
}

TEST_P(ApiContract, TasksUploadImportAndDelete) {
  ASSERT_TRUE(ServerRegister("lin@example.com", EncodePassword("secret"), "Lin"));
  CAccount lin{"lin@example.com", EncodePassword("secret"), "Lin"};
  TaskPtr first = MakeTask("http://item.jd.com/1.html?a=1&b=2", kProduct);
  TaskPtr second = MakeTask("http://shop.example/2.html", "Cup");

  EXPECT_EQ(ReadTaskAddReply(ServerTaskAdd(lin, *first)), ServerTaskAddResult::kAdded);
  EXPECT_EQ(ReadTaskAddReply(ServerTaskAdd(lin, *second)), ServerTaskAddResult::kAdded);
  EXPECT_EQ(ReadTaskAddReply(ServerTaskAdd(lin, *first)), ServerTaskAddResult::kAlreadyThere);
  EXPECT_EQ(server.store->HeldName(first->GetUrl()), LocalToUtf8(kProduct));

  const std::string reply = ServerGetTasks(lin);
  EXPECT_EQ(CountServerTasks(reply), 2);
  std::vector<TaskPtr> imported = ReadServerTasks(reply);
  ASSERT_EQ(imported.size(), 2u);
  EXPECT_EQ(imported[0]->ToXml(), first->ToXml());
  EXPECT_EQ(imported[0]->GetProductName(), kProduct);
  EXPECT_EQ(imported[1]->GetUrl(), "http://shop.example/2.html");

  ServerTaskDelete(lin, *first);
  EXPECT_EQ(CountServerTasks(ServerGetTasks(lin)), 1);

  // Another password sees nothing and changes nothing.
  CAccount thief{"lin@example.com", EncodePassword("guess"), ""};
  EXPECT_EQ(CountServerTasks(ServerGetTasks(thief)), 0);
  EXPECT_EQ(ReadTaskAddReply(ServerTaskAdd(thief, *first)), ServerTaskAddResult::kFailed);
  ServerTaskDelete(thief, *second);
  EXPECT_EQ(CountServerTasks(ServerGetTasks(lin)), 1);
}

TEST_P(ApiContract, HistoryPointsReachTheProgramsHistory) {
  const std::string link = "http://item.jd.com/1.html?a=1&b=2";
  ASSERT_TRUE(server.store->AddPricePoint(link, {1356969600, "99.00"}));
  ASSERT_TRUE(server.store->AddPricePoint(link, {1357056000, "89.50"}));
  CPriceInfo history;
  history.FetchFromServer(link, "89.50");
  std::vector<CPriceInfoItem> items = history.Items();
  ASSERT_EQ(items.size(), 2u);  // the current price equals the newest point
  EXPECT_EQ(items[0].price, "89.50");
  EXPECT_EQ(items[1].price, "99.00");
  EXPECT_EQ(items[1].date, FormatTimeText(1356969600));
  EXPECT_EQ(history.GetLowestPrice(), "89.50");
  EXPECT_EQ(history.GetHighestPrice(), "99.00");

  CPriceInfo unknown;
  unknown.FetchFromServer("http://item.jd.com/other.html", "12.50");
  EXPECT_EQ(unknown.GetItemCount(), 1u);  // only the current price
}

TEST_P(ApiContract, ComparisonOffersAlikeProductsOfOtherShopsCheapestFirst) {
  const std::string link = "http://a.example/kettle.html";
  ASSERT_TRUE(server.store->SaveProduct({link, "美的电水壶 1.7升", "甲", "129.00", 1}));
  ASSERT_TRUE(server.store->SaveProduct(
      {"http://b.example/k?id=1&x=\"q\"", "美的 电水壶1.7升 \"特价\"", "乙", "119.00", 1}));
  ASSERT_TRUE(
      server.store->SaveProduct({"http://c.example/k", "美的电水壶1.7升", "丙/商城", "99.00", 1}));
  ASSERT_TRUE(
      server.store->SaveProduct({"http://d.example/k", "美的电水壶1.7升", "丁", "89.00", 0}));
  ASSERT_TRUE(server.store->SaveProduct({"http://e.example/k", "无线蓝牙耳机", "戊", "9.00", 1}));
  ASSERT_TRUE(
      server.store->SaveProduct({"http://a.example/k2", "美的电水壶1.7升", "甲", "9.00", 1}));

  CETaoInfo comparison;
  comparison.FetchFromServer(Utf8ToLocal("美的电水壶 1.7升"), link, nullptr);
  std::vector<CETaoInfoItem> items = comparison.Items();
  ASSERT_EQ(items.size(), 2u);  // not out of stock, not unlike, not the same shop
  EXPECT_EQ(items[0].name, Utf8ToLocal("美的电水壶1.7升"));
  EXPECT_EQ(items[0].price, "99.00");
  EXPECT_EQ(items[0].url, "http://c.example/k");
  EXPECT_EQ(items[0].site, Utf8ToLocal("丙/商城"));
  EXPECT_EQ(items[1].name, Utf8ToLocal("美的 电水壶1.7升 \"特价\""));
  EXPECT_EQ(items[1].url, "http://b.example/k?id=1&x=%22q%22");
}

TEST_P(ApiContract, CommissionLinksComeFromTheConfiguration) {
  server.server->Stop();
  ServerSettings settings;
  settings.commission["jd"] = "http://union.example/go?to={url}&pid=7";
  RunningServer configured(GetParam(), settings);
  ASSERT_TRUE(configured.Ready());
  EXPECT_EQ(LookupCommissionLink("http://item.jd.com/1.html", "jd"),
            "http://union.example/go?to=http%3A%2F%2Fitem%2Ejd%2Ecom%2F1%2Ehtml&pid=7");
  EXPECT_EQ(LookupCommissionLink("http://item.taobao.com/1", "taobao"), "false");
}

TEST_P(ApiContract, TheUpdateFolderIsServedAsFiles) {
  server.updateFolder.Write("update.ini", "[Vantrel]\r\nVERSION=1.069\r\n");
  server.updateFolder.Write("imgs/Del.png", std::string("\x89PNG\r\n\x1a\n\0\1", 10));
  CSpider spider;
  ASSERT_TRUE(spider.DownloadFile(server.Url("/update/update.ini?t=1356969600"),
                                  server.home.File("update.ini")));
  EXPECT_EQ(server.home.Read("update.ini"), "[Vantrel]\r\nVERSION=1.069\r\n");
  ASSERT_TRUE(spider.DownloadFile(server.Url("/update/imgs/Del.png"), server.home.File("Del.png")));
  EXPECT_EQ(server.home.Read("Del.png"), std::string("\x89PNG\r\n\x1a\n\0\1", 10));
  // Missing files are no 200 reply, so nothing is written.
  EXPECT_TRUE(spider.DownloadFile(server.Url("/update/ding.wav"), server.home.File("ding.wav")));
  EXPECT_FALSE(FileExists(server.home.File("ding.wav")));
  EXPECT_EQ(spider.GetPage(server.Url("/update/../config.ini"), "utf-8"), "");
}

INSTANTIATE_TEST_SUITE_P(Backends, ApiContract,
                         testing::Values(Backend::kSqlite, Backend::kPostgres), BackendName);

}  // namespace
