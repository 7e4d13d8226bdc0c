#include <gtest/gtest.h>

#include <string>

#include "base/ini.h"
#include "engine/task.h"
#include "services/account.h"
#include "support/tempdir.h"

namespace {

// "密码12" in the local code page (GBK).
const std::string kChinesePassword =
    "\xC3\xDC\xC2\xEB"
    "12";

TEST(EncodePassword, Base64OfTheUtf8Text) {
  struct {
    std::string password;
    const char* encoded;
  } cases[] = {
      {"", ""},
      {"a", "YQ=="},
      {"ab", "YWI="},
      {"abc", "YWJj"},
      {">>>", "Pj4+"},
      {"???", "Pz8/"},
      {"pass word!", "cGFzcyB3b3JkIQ=="},
      // Converted to UTF-8 first: six bytes, not the four GBK bytes.
      {kChinesePassword, "5a+G56CBMTI="},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodePassword(c.password), c.encoded) << c.password;
}

TEST(LoginReply, NeedsABarAndGivesTheNameAfterTheFirst) {
  struct {
    const char* reply;
    bool success;
    const char* nickname;
  } cases[] = {
      {"1|Lin", true, "Lin"},
      {"1|a|b", true, "a|b"},
      {"|", true, ""},
      {"1", false, "unset"},
      {"", false, "unset"},
      {"Lin", false, "unset"},
      {"1|Lin\r\n[Hosts]", false, "unset"},
      {"1|Lin\n", false, "unset"},
  };
  for (const auto& c : cases) {
    std::string nickname = "unset";
    EXPECT_EQ(ReadLoginReply(c.reply, nickname), c.success) << c.reply;
    EXPECT_EQ(nickname, c.nickname) << c.reply;
  }
}

TEST(ReplyNumber, ReadsTheLeadingDecimalNumber) {
  EXPECT_EQ(ReadReplyNumber("1"), 1);
  EXPECT_EQ(ReadReplyNumber("12abc"), 12);
  EXPECT_EQ(ReadReplyNumber(" 3"), 3);
  EXPECT_EQ(ReadReplyNumber("-1"), -1);
  EXPECT_EQ(ReadReplyNumber(""), 0);
  EXPECT_EQ(ReadReplyNumber("ok"), 0);
  EXPECT_EQ(ReadReplyNumber("99999999999999999999"), 2147483647);
}

TEST(TaskAddReply, OnlyTheTwoCodesCount) {
  EXPECT_EQ(ReadTaskAddReply("00000"), ServerTaskAddResult::kAdded);
  EXPECT_EQ(ReadTaskAddReply("23000"), ServerTaskAddResult::kAlreadyThere);
  EXPECT_EQ(ReadTaskAddReply(""), ServerTaskAddResult::kFailed);
  EXPECT_EQ(ReadTaskAddReply("0"), ServerTaskAddResult::kFailed);
}

TEST(ServerTasks, CountedAndReadInOrder) {
  std::string reply =
      "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<TaskList>"
      "<Task><Url>http://item.jd.com/1.html</Url><ProductName>A &amp; B</ProductName>"
      "<Status>false</Status></Task>"
      "<Task><Url>http://item.jd.com/2.html</Url><Status>true</Status></Task>"
      "</TaskList>";
  EXPECT_EQ(CountServerTasks(reply), 2);
  std::vector<TaskPtr> tasks = ReadServerTasks(reply);
  ASSERT_EQ(tasks.size(), 2u);
  EXPECT_EQ(tasks[0]->GetUrl(), "http://item.jd.com/1.html");
  EXPECT_EQ(tasks[0]->GetProductName(), "A & B");
  EXPECT_EQ(tasks[0]->GetStatus(), 0);
  EXPECT_EQ(tasks[1]->GetUrl(), "http://item.jd.com/2.html");
  EXPECT_EQ(tasks[1]->GetStatus(), 1);
}

TEST(ServerTasks, GarbageGivesNoTasks) {
  for (const char* reply : {"", "nologin", "<Task", "<html><body>error</body></html>"}) {
    EXPECT_EQ(CountServerTasks(reply), 0) << reply;
    EXPECT_TRUE(ReadServerTasks(reply).empty()) << reply;
  }
}

TEST(SavedAccount, LoggingOutRemovesTheKeys) {
  TempDir home(true);
  home.Write("config.ini", "[User]\r\nOther=1\r\n");
  EXPECT_FALSE(LoadAccount().IsLoggedIn());
  CAccount account{"lin@example.com", EncodePassword("secret"), "Lin"};
  ASSERT_TRUE(SaveAccount(account));
  CAccount loaded = LoadAccount();
  EXPECT_TRUE(loaded.IsLoggedIn());
  EXPECT_EQ(loaded.username, "lin@example.com");
  EXPECT_EQ(loaded.password, "c2VjcmV0");
  EXPECT_EQ(loaded.nickname, "Lin");
  ASSERT_TRUE(DeleteSavedAccount());
  EXPECT_EQ(home.Read("config.ini"), "[User]\r\nOther=1\r\n");
  EXPECT_FALSE(LoadAccount().IsLoggedIn());
}

TEST(SavedAccount, ALineEndInAnyValueSavesNothing) {
  TempDir home(true);
  home.Write("config.ini", "[User]\r\nUsername=old@example.com\r\nPassword=b2xk\r\n");
  const CAccount accounts[] = {{"lin@example.com", "c2VjcmV0", "Lin\r\nPassword=x"},
                               {"lin@example.com\n", "c2VjcmV0", "Lin"},
                               {"lin@example.com", std::string("c2\0", 3), "Lin"}};
  for (const CAccount& account : accounts) EXPECT_FALSE(SaveAccount(account));
  EXPECT_EQ(home.Read("config.ini"), "[User]\r\nUsername=old@example.com\r\nPassword=b2xk\r\n");
}

TEST(SavedAccount, LoggedInNeedsAddressAndPassword) {
  EXPECT_FALSE((CAccount{"", "cA==", "n"}).IsLoggedIn());
  EXPECT_FALSE((CAccount{"a@b.c", "", "n"}).IsLoggedIn());
  EXPECT_TRUE((CAccount{"a@b.c", "cA==", ""}).IsLoggedIn());
}

}  // namespace
