#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/files.h"
#include "engine/tasklist.h"
#include "engine/urlencode.h"
#include "services/shoplinks.h"
#include "support/fake_program_servers.h"
#include "support/tempdir.h"

namespace {

// A user who opens the product pages of the task list, with the commission
// service answering per shop key.
class CommissionLookupTest : public ::testing::Test {
 protected:
  void SetUp() override { m_servers.PointProgramAt(); }

  TaskPtr AddTask(const std::string& url, const std::string& gotoUrl = "") {
    CTaskValues values;
    values.url = url;
    values.productName = "kettle";
    values.gotoUrl = gotoUrl;
    auto task = std::make_shared<CTask>(values);
    m_tasks.AddTask(task);
    return task;
  }

  // Opens the task's page as the main window does.
  std::string Open(const TaskPtr& task) {
    ShopLinkTaskStore store{&m_tasks, m_home.File("tasks.xml"),
                            [this](const TaskPtr& changed) { m_changed.push_back(changed); }};
    return RewriteShopLink(task->GetUrl(), task->GetGotoUrl(), ShopLinkKind::kTask, store);
  }

  bool TasksSaved() const { return FileExists(m_home.File("tasks.xml")); }

  TempDir m_home{true};
  FakeProgramServers m_servers;
  CTaskList m_tasks;
  std::vector<TaskPtr> m_changed;
};

TEST_F(CommissionLookupTest, JdFalseKeepsThePlainLinkButIsNotSaved) {
  m_servers.Commission("jd", "false");
  TaskPtr task = AddTask("http://item.jd.com/123.html?cu=true#comment");
  EXPECT_EQ(Open(task), "http://item.jd.com/123.html");
  ASSERT_EQ(m_servers.Requests(ProgramEndpoint::kCommission), 1);
  ProgramRequest request = m_servers.Log().back();
  EXPECT_EQ(request.Query("s"), "jd");
  EXPECT_EQ(request.Query("u"), "http://item.jd.com/123.html");  // the cleaned link
  EXPECT_NE(request.target.find("&u=" + UrlEncode("http://item.jd.com/123.html")),
            std::string::npos);
  EXPECT_EQ(task->GetGotoUrl(), "http://item.jd.com/123.html");
  EXPECT_FALSE(TasksSaved());
  ASSERT_EQ(m_changed.size(), 1u);
  EXPECT_EQ(m_changed[0], task);

  // The answer is asked for once per task.
  EXPECT_EQ(Open(task), "http://item.jd.com/123.html");
  EXPECT_EQ(m_servers.Requests(ProgramEndpoint::kCommission), 1);
}

TEST_F(CommissionLookupTest, ALinkIsSavedAndOpened) {
  m_servers.Commission("jd", "http://c.example/jd?x=1");
  TaskPtr task = AddTask("http://item.jd.com/7.html");
  EXPECT_EQ(Open(task), "http://c.example/jd?x=1");
  EXPECT_EQ(task->GetGotoUrl(), "http://c.example/jd?x=1");
  ASSERT_TRUE(TasksSaved());
  std::string saved = m_home.Read("tasks.xml");
  EXPECT_NE(saved.find("<GotoUrl>http://c.example/jd?x=1</GotoUrl>"), std::string::npos);
  EXPECT_EQ(Open(task), "http://c.example/jd?x=1");
  EXPECT_EQ(m_servers.Requests(ProgramEndpoint::kCommission), 1);
}

TEST_F(CommissionLookupTest, TaobaoNologinKeepsThePlainLinkButIsNotSaved) {
  m_servers.Commission("taobao", "nologin");
  TaskPtr task = AddTask("http://item.taobao.com/item.htm?id=5&spm=x");
  EXPECT_EQ(Open(task), "http://item.taobao.com/item.htm?id=5");
  EXPECT_EQ(task->GetGotoUrl(), "http://item.taobao.com/item.htm?id=5");
  EXPECT_FALSE(TasksSaved());
  EXPECT_EQ(m_servers.Log().back().Query("s"), "taobao");
}

TEST_F(CommissionLookupTest, OtherAnswersAreSavedSoTheServiceIsNotAskedAgain) {
  // "商品不在推广中": the product is not promoted.
  m_servers.Commission(
      "yhd",
      "\xE5\x95\x86\xE5\x93\x81\xE4\xB8\x8D\xE5\x9C\xA8\xE6\x8E\xA8\xE5\xB9\xBF\xE4\xB8\xAD");
  m_servers.Commission("jd", "nologin");
  TaskPtr yhd = AddTask("http://item.yhd.com/item/1?ref=2");
  EXPECT_EQ(Open(yhd), "http://item.yhd.com/item/1");
  EXPECT_EQ(yhd->GetGotoUrl(), "http://item.yhd.com/item/1");
  EXPECT_TRUE(TasksSaved());
  EXPECT_EQ(Open(yhd), "http://item.yhd.com/item/1");
  EXPECT_EQ(m_servers.Requests(ProgramEndpoint::kCommission), 1);
  // "nologin" only counts as not worth saving for Taobao.
  DeleteFile(m_home.File("tasks.xml"));
  TaskPtr jd = AddTask("http://item.jd.com/8.html");
  EXPECT_EQ(Open(jd), "http://item.jd.com/8.html");
  EXPECT_TRUE(TasksSaved());
}

// Whatever the service answers, tasks.xml holds a link as the shop link: the
// answer when it is one, else the plain product link.
TEST_F(CommissionLookupTest, AnAnswerThatIsNoLinkIsNeverStoredAsTheShopLink) {
  const struct {
    std::string answer;
    std::string stored;
  } cases[] = {
      {"<html><body>502 Bad Gateway</body></html>", "http://item.jd.com/20.html"},
      {"http://c.example/jd\r\n<html>", "http://item.jd.com/20.html"},
      {"http://", "http://item.jd.com/20.html"},
      {"  http://c.example/jd", "http://item.jd.com/20.html"},
      {"https://c.example/jd?a=1", "http://item.jd.com/20.html"},
      {"HTTP://c.example/jd?a=1", "HTTP://c.example/jd?a=1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    m_servers.Commission("jd", c.answer);
    TaskPtr task = AddTask("http://item.jd.com/20.html?from=x");
    EXPECT_EQ(Open(task), c.stored);
    EXPECT_EQ(task->GetGotoUrl(), c.stored);
    ASSERT_TRUE(TasksSaved());
    EXPECT_NE(m_home.Read("tasks.xml").find("<GotoUrl>" + c.stored + "</GotoUrl>"),
              std::string::npos);
    DeleteFile(m_home.File("tasks.xml"));
    m_tasks.RemoveTaskAt(task);
  }
}

TEST_F(CommissionLookupTest, TheTaskIsFoundWithoutRegardToCase) {
  m_servers.Commission("jd", "http://c.example/jd/9");
  TaskPtr task = AddTask("http://item.jd.com/9.html");
  ShopLinkTaskStore store{&m_tasks, m_home.File("tasks.xml"), {}};
  EXPECT_EQ(RewriteShopLink("HTTP://ITEM.JD.COM/9.html", "", ShopLinkKind::kTask, store),
            "http://c.example/jd/9");
  EXPECT_EQ(task->GetGotoUrl(), "http://c.example/jd/9");
}

TEST_F(CommissionLookupTest, NoTaskNoLookup) {
  m_servers.Commission("jd", "http://c.example/jd/1");
  ShopLinkTaskStore store{&m_tasks, m_home.File("tasks.xml"), {}};
  EXPECT_EQ(RewriteShopLink("http://item.jd.com/1.html?a=1", "", ShopLinkKind::kTask, store),
            "http://item.jd.com/1.html");
  EXPECT_EQ(RewriteShopLink("http://item.jd.com/1.html", "", ShopLinkKind::kTask),
            "http://item.jd.com/1.html");
  EXPECT_EQ(m_servers.Requests(ProgramEndpoint::kCommission), 0);
}

TEST_F(CommissionLookupTest, ComparisonRowsAskEachTimeAndStoreNothing) {
  m_servers.Commission("jd", "http://c.example/jd/2");
  TaskPtr task = AddTask("http://item.jd.com/2.html");
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(RewriteShopLink("http://item.jd.com/2.html", "", ShopLinkKind::kCompPrice),
              "http://c.example/jd/2");
  }
  EXPECT_EQ(m_servers.Requests(ProgramEndpoint::kCommission), 2);
  EXPECT_EQ(task->GetGotoUrl(), "");
  EXPECT_FALSE(TasksSaved());
}

TEST_F(CommissionLookupTest, AServiceThatIsOffOrSilentOpensTheCleanLink) {
  // No script for "jd": the service answers with an empty text.
  TaskPtr task = AddTask("http://item.jd.com/3.html?x=1");
  EXPECT_EQ(Open(task), "http://item.jd.com/3.html");
  EXPECT_EQ(task->GetGotoUrl(), "");
  m_home.Write("config.ini", "[Hosts]\r\nCommissionUrl=\r\n");
  EXPECT_EQ(LookupCommissionLink("http://item.jd.com/3.html", "jd"), "");
  EXPECT_EQ(m_servers.Requests(ProgramEndpoint::kCommission), 1);
}

}  // namespace
