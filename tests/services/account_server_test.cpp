#include <gtest/gtest.h>

#include <string>

#include "engine/task.h"
#include "services/account.h"
#include "support/fake_account_server.h"
#include "support/tempdir.h"

namespace {

// "昵称" (nickname) in GBK and in UTF-8.
const std::string kNicknameGbk = "\xEA\xC7\xB3\xC6";
const std::string kNicknameUtf8 = "\xE6\x98\xB5\xE7\xA7\xB0";
// "电水壶 & 杯" (kettle & cup) in GBK and in UTF-8.
const std::string kProductGbk = "\xB5\xE7\xCB\xAE\xBA\xF8 & \xB1\xAD";
const std::string kProductUtf8 = "\xE7\x94\xB5\xE6\xB0\xB4\xE5\xA3\xB6 & \xE6\x9D\xAF";

class AccountServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_server.AddAccount("lin@example.com", EncodePassword("secret"), "Lin");
    m_server.PointProgramAt();
  }

  std::shared_ptr<CTask> MakeTask(const std::string& url, const std::string& name, int status = 1) {
    CTaskValues values;
    values.url = url;
    values.productName = name;
    values.status = status;
    values.currentPrice = "99.00";
    return std::make_shared<CTask>(values);
  }

  CAccount m_lin{"lin@example.com", EncodePassword("secret"), "Lin"};
  TempDir m_home{true};
  FakeAccountServer m_server;
};

TEST_F(AccountServerTest, LogInWithTheEncodedPassword) {
  std::string nickname;
  EXPECT_TRUE(ServerLogin("lin@example.com", EncodePassword("secret"), nickname));
  EXPECT_EQ(nickname, "Lin");
  AccountRequest request = m_server.Log().back();
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/api/login.php?u=lin%40example%2Ecom&p=c2VjcmV0");

  nickname = "unchanged";
  EXPECT_FALSE(ServerLogin("lin@example.com", EncodePassword("wrong"), nickname));
  EXPECT_EQ(nickname, "unchanged");
  EXPECT_FALSE(ServerLogin("nobody@example.com", EncodePassword("secret"), nickname));
}

TEST_F(AccountServerTest, LoginReplies) {
  std::string nickname;
  m_server.Reply("login", "1|" + kNicknameUtf8);
  EXPECT_TRUE(ServerLogin("lin@example.com", "x", nickname));
  EXPECT_EQ(nickname, kNicknameGbk);
  for (const char* reply : {"1", "", "Lin", "<html>error</html>"}) {
    m_server.Reply("login", reply);
    EXPECT_FALSE(ServerLogin("lin@example.com", "x", nickname)) << reply;
  }
}

TEST_F(AccountServerTest, PasswordCharactersAreEscapedOnTheWay) {
  // ">>>" encodes to "Pj4+": a "+" sent as it is would arrive as a blank.
  m_server.AddAccount("p@example.com", EncodePassword(">>>"), "P");
  std::string nickname;
  EXPECT_TRUE(ServerLogin("p@example.com", EncodePassword(">>>"), nickname));
  EXPECT_NE(m_server.Log().back().target.find("&p=Pj4%2B"), std::string::npos);
}

TEST_F(AccountServerTest, AddressInUse) {
  EXPECT_TRUE(ServerEmailUsed("lin@example.com"));
  EXPECT_EQ(m_server.Log().back().target, "/api/check.php?t=email_used&u=lin%40example%2Ecom");
  EXPECT_FALSE(ServerEmailUsed("new@example.com"));
  const std::pair<const char*, bool> replies[] = {
      {"2", true}, {"0", false}, {"", false}, {"yes", false}};
  for (const auto& [reply, used] : replies) {
    m_server.Reply("check", reply);
    EXPECT_EQ(ServerEmailUsed("x@example.com"), used) << reply;
  }
}

TEST_F(AccountServerTest, RegisterPostsAFormInUtf8) {
  EXPECT_TRUE(ServerRegister("new@example.com", EncodePassword("pw"), kNicknameGbk));
  AccountRequest request = m_server.Log().back();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/api/register.php");
  EXPECT_EQ(request.contentType, "application/x-www-form-urlencoded");
  EXPECT_EQ(request.body, "u=new%40example%2Ecom&p=cHc%3D&n=%E6%98%B5%E7%A7%B0");
  EXPECT_EQ(request.Value("n"), kNicknameUtf8);

  // The new account can log in; registering it again fails.
  std::string nickname;
  EXPECT_TRUE(ServerLogin("new@example.com", EncodePassword("pw"), nickname));
  EXPECT_EQ(nickname, kNicknameGbk);
  EXPECT_FALSE(ServerRegister("new@example.com", EncodePassword("pw"), "again"));
  for (const char* reply : {"", "0", "-1", "ok"}) {
    m_server.Reply("register", reply);
    EXPECT_FALSE(ServerRegister("other@example.com", "cA==", "n")) << reply;
  }
}

TEST_F(AccountServerTest, TasksAddedTwiceAndDeleted) {
  auto task = MakeTask("http://item.jd.com/1.html?a=1&b=2", kProductGbk);
  std::string reply = ServerTaskAdd(m_lin, *task);
  EXPECT_EQ(reply, "00000");
  EXPECT_EQ(ReadTaskAddReply(reply), ServerTaskAddResult::kAdded);
  AccountRequest request = m_server.Log().back();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.contentType, "application/x-www-form-urlencoded");
  EXPECT_EQ(request.body.rfind("act=add&u=lin%40example%2Ecom&p=c2VjcmV0&url=http%3A%2F%2Fitem", 0),
            0u);
  EXPECT_EQ(request.Value("url"), "http://item.jd.com/1.html?a=1&b=2");
  EXPECT_EQ(request.Value("name"), kProductUtf8);
  EXPECT_EQ(request.Value("tx"), task->ToXml());

  EXPECT_EQ(ReadTaskAddReply(ServerTaskAdd(m_lin, *task)), ServerTaskAddResult::kAlreadyThere);
  EXPECT_EQ(m_server.StoredUrls("lin@example.com").size(), 1u);

  ServerTaskDelete(m_lin, *task);
  request = m_server.Log().back();
  EXPECT_EQ(request.body,
            "act=del&u=lin%40example%2Ecom&p=c2VjcmV0&url=" +
                std::string("http%3A%2F%2Fitem%2Ejd%2Ecom%2F1%2Ehtml%3Fa%3D1%26b%3D2"));
  EXPECT_TRUE(m_server.StoredUrls("lin@example.com").empty());
}

TEST_F(AccountServerTest, NothingIsSentWhenLoggedOut) {
  auto task = MakeTask("http://item.jd.com/1.html", "kettle");
  CAccount loggedOut{"lin@example.com", "", "Lin"};
  EXPECT_EQ(ServerTaskAdd(loggedOut, *task), "");
  EXPECT_EQ(ServerTaskDelete(loggedOut, *task), "");
  EXPECT_EQ(ServerGetTasks(CAccount{}), "");
  EXPECT_EQ(m_server.Log().size(), 0u);
}

TEST_F(AccountServerTest, AddRepliesOtherThanTheTwoCodesAreFailures) {
  auto task = MakeTask("http://item.jd.com/1.html", "kettle");
  CAccount wrongPassword{"lin@example.com", EncodePassword("wrong"), "Lin"};
  EXPECT_EQ(ReadTaskAddReply(ServerTaskAdd(wrongPassword, *task)), ServerTaskAddResult::kFailed);
  m_server.Reply("task", "");
  EXPECT_EQ(ReadTaskAddReply(ServerTaskAdd(m_lin, *task)), ServerTaskAddResult::kFailed);
}

TEST_F(AccountServerTest, UploadedTasksComeBackUnchanged) {
  auto first = MakeTask("http://item.jd.com/1.html", kProductGbk);
  auto second = MakeTask("http://www.amazon.cn/dp/B1?a=1&b=2", "cup <large>", 0);
  ServerTaskAdd(m_lin, *first);
  ServerTaskAdd(m_lin, *second);

  std::string reply = ServerGetTasks(m_lin);
  EXPECT_EQ(m_server.Log().back().target, "/api/task.php?act=get&u=lin%40example%2Ecom&p=c2VjcmV0");
  EXPECT_EQ(CountServerTasks(reply), 2);
  std::vector<TaskPtr> tasks = ReadServerTasks(reply);
  ASSERT_EQ(tasks.size(), 2u);
  EXPECT_EQ(tasks[0]->ToXml(), first->ToXml());
  EXPECT_EQ(tasks[0]->GetProductName(), kProductGbk);
  EXPECT_EQ(tasks[1]->GetUrl(), "http://www.amazon.cn/dp/B1?a=1&b=2");
  EXPECT_EQ(tasks[1]->GetProductName(), "cup <large>");
  EXPECT_EQ(tasks[1]->GetStatus(), 0);
}

TEST_F(AccountServerTest, NoServerNoRequests) {
  m_home.Write("config.ini", "[Hosts]\r\nAccountUrl=\r\n");
  std::string nickname;
  EXPECT_FALSE(ServerLogin("lin@example.com", EncodePassword("secret"), nickname));
  EXPECT_FALSE(ServerRegister("n@example.com", "cA==", "n"));
  EXPECT_EQ(ServerTaskAdd(m_lin, *MakeTask("http://item.jd.com/1.html", "k")), "");
  EXPECT_EQ(m_server.Log().size(), 0u);
}

}  // namespace
