// The login and registration forms: every check in its order, the requests
// an accepted form sends, what is kept of the account, and logging out.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "base/codepage.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "services/accountforms.h"
#include "support/fake_account_server.h"
#include "support/tempdir.h"

namespace {

std::string Gbk(const std::string& utf8) { return Utf8ToLocal(utf8); }

class AccountFormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_server.AddAccount("lin@example.com", EncodePassword("secret"), "Lin");
    m_server.PointProgramAt();
  }
  std::string Config() const { return ProgramFile("config.ini"); }
  std::string UserKey(const char* key) const {
    return IniGetString(Config(), "User", key, "<missing>");
  }

  TempDir m_home{true};
  FakeAccountServer m_server;
};

TEST_F(AccountFormsTest, FieldChecks) {
  struct {
    std::string email;
    unsigned hint;
  } emails[] = {{"", IDS_ENTER_EMAIL},
                {"lin", IDS_EMAIL_INVALID},
                {"lin@example", IDS_EMAIL_INVALID},
                {"@example.com", IDS_EMAIL_INVALID},
                {"lin@.", IDS_EMAIL_INVALID},
                {"a@b.c", 0},
                {"LIN@EXAMPLE.COM", 0},
                {"a\n@b\n.c", 0}};
  for (const auto& e : emails) EXPECT_EQ(CheckEmailFormat(e.email), e.hint) << e.email;

  EXPECT_EQ(CheckPassword(""), IDS_ENTER_PASSWORD);
  EXPECT_EQ(CheckPassword(std::string(50, 'x')), 0u);
  EXPECT_EQ(CheckPassword(std::string(51, 'x')), IDS_PASSWORD_TOO_LONG);
  // 25 Chinese characters are 50 bytes; one more ASCII letter is too many.
  std::string chinese;
  for (int i = 0; i < 25; ++i) chinese += Gbk("价");
  EXPECT_EQ(CheckPassword(chinese), 0u);
  EXPECT_EQ(CheckPassword(chinese + "a"), IDS_PASSWORD_TOO_LONG);

  EXPECT_EQ(CheckNickname(""), IDS_ENTER_NICKNAME);
  EXPECT_EQ(CheckNickname(Gbk("价格跟踪者")), 0u);  // five characters, ten bytes
  EXPECT_EQ(CheckNickname(Gbk("价格跟踪者们")), IDS_NICKNAME_TOO_LONG);
  EXPECT_EQ(CheckNickname("abcdefghij"), 0u);
  EXPECT_EQ(CheckNickname("abcdefghijk"), IDS_NICKNAME_TOO_LONG);
  EXPECT_EQ(LoadString(IDS_NICKNAME_TOO_LONG), Gbk("昵称要10字内"));
}

TEST_F(AccountFormsTest, LoginFormShowsEveryFieldsHint) {
  LoginHints hints = CheckLoginForm({"", "", false});
  EXPECT_EQ(hints.email, IDS_ENTER_EMAIL);
  EXPECT_EQ(hints.password, IDS_ENTER_PASSWORD);
  EXPECT_FALSE(hints.Ok());
  hints = CheckLoginForm({"lin@example.com", std::string(60, 'p'), false});
  EXPECT_EQ(hints.email, 0u);
  EXPECT_EQ(hints.password, IDS_PASSWORD_TOO_LONG);
  EXPECT_TRUE(CheckLoginForm({"lin@example.com", "secret", false}).Ok());
  EXPECT_EQ(m_server.Requests("login"), 0);  // checking sends nothing
}

TEST_F(AccountFormsTest, RegisterFormChecksInOrder) {
  RegisterHints hints = CheckRegisterForm({"", "", "x", "", false});
  EXPECT_EQ(hints.email, IDS_ENTER_EMAIL);
  EXPECT_EQ(hints.password, IDS_ENTER_PASSWORD);
  EXPECT_EQ(hints.repeatedPassword, IDS_PASSWORDS_DIFFER);
  EXPECT_EQ(hints.nickname, IDS_ENTER_NICKNAME);
  EXPECT_EQ(m_server.Requests("check"), 0);  // a malformed address is not asked about

  hints = CheckRegisterForm({"lin@example.com", "pw", "pw", "Lin2", false});
  EXPECT_EQ(hints.email, IDS_EMAIL_EXISTS);
  EXPECT_EQ(m_server.Requests("check"), 1);
  EXPECT_EQ(hints.password + hints.repeatedPassword + hints.nickname, 0u);

  hints = CheckRegisterForm({"new@example.com", "pw", "pW", Gbk("价格跟踪者们"), false});
  EXPECT_EQ(hints.email, 0u);
  EXPECT_EQ(hints.repeatedPassword, IDS_PASSWORDS_DIFFER);  // bytes compared exactly
  EXPECT_EQ(hints.nickname, IDS_NICKNAME_TOO_LONG);

  EXPECT_TRUE(CheckRegisterForm({"new@example.com", "pw", "pw", Gbk("价格跟踪者"), false}).Ok());
  // No answer from the server: the address counts as free.
  m_server.Reply("check", "");
  EXPECT_EQ(CheckRegisterForm({"lin@example.com", "pw", "pw", "n", false}).email, 0u);
}

TEST_F(AccountFormsTest, LoginTakesTheNicknameAfterTheBar) {
  CAccount account;
  m_server.Reply("login", "1|" + std::string("小林|二号"));
  EXPECT_EQ(Login(account, {"lin@example.com", "secret", false}), IDS_LOGIN_OK);
  EXPECT_EQ(account.username, "lin@example.com");
  EXPECT_EQ(account.password, EncodePassword("secret"));
  EXPECT_EQ(account.nickname, Gbk("小林|二号"));
  EXPECT_TRUE(account.IsLoggedIn());
  // Without automatic login nothing is written.
  EXPECT_EQ(UserKey("Username"), "<missing>");
  EXPECT_EQ(m_server.Log().back().Value("p"), EncodePassword("secret"));
}

TEST_F(AccountFormsTest, FailedLoginKeepsTheAccount) {
  CAccount account{"old@example.com", "b2xk", "Old"};
  std::string config = m_home.Read("config.ini");
  // A nickname with a line end would write its own lines into config.ini.
  const std::string replies[] = {"1",
                                 "",
                                 "Lin",
                                 "1|Lin\r\n[Hosts]\r\nAccountUrl=http://203.0.113.9/",
                                 "1|Lin\nPassword=x",
                                 "1|Lin\r"};
  for (const std::string& reply : replies) {
    m_server.Reply("login", reply);
    EXPECT_EQ(Login(account, {"lin@example.com", "secret", true}), IDS_LOGIN_FAILED) << reply;
    EXPECT_EQ(account.username, "old@example.com");
    EXPECT_EQ(account.nickname, "Old");
  }
  EXPECT_EQ(m_home.Read("config.ini"), config);
}

TEST_F(AccountFormsTest, AutomaticLoginSavesOnlyTheEncodedPasswordPrivately) {
  // An older config.ini readable by everybody.
  IniWriteString(Config(), "Base", "MsgPop", "1");
  chmod(Config().c_str(), 0644);
  CAccount account;
  ASSERT_EQ(Login(account, {"lin@example.com", "secret", true}), IDS_LOGIN_OK);
  EXPECT_EQ(UserKey("Username"), "lin@example.com");
  EXPECT_EQ(UserKey("Password"), "c2VjcmV0");
  EXPECT_EQ(UserKey("Nickname"), "Lin");
  EXPECT_EQ(m_home.Read("config.ini").find("secret"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat(Config().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(IniGetString(Config(), "Base", "MsgPop", ""), "1");
}

TEST_F(AccountFormsTest, RegisterThenLogOut) {
  CAccount account;
  std::string nickname = Gbk("价格跟踪者");
  ASSERT_EQ(Register(account, {"new@example.com", "pw", "pw", nickname, true}), IDS_REGISTER_OK);
  EXPECT_EQ(account.nickname, nickname);
  EXPECT_EQ(UserKey("Nickname"), nickname);
  AccountRequest request = m_server.Log().back();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.Value("n"), "价格跟踪者");
  // The new account can log in.
  CAccount again;
  EXPECT_EQ(Login(again, {"new@example.com", "pw", false}), IDS_LOGIN_OK);
  EXPECT_EQ(again.nickname, nickname);

  Logout(account);
  EXPECT_FALSE(account.IsLoggedIn());
  EXPECT_EQ(account.nickname, "");
  std::string text = m_home.Read("config.ini");
  for (const char* key : {"Username", "Password", "Nickname"})
    EXPECT_EQ(text.find(key), std::string::npos) << key;  // removed, not emptied
}

TEST_F(AccountFormsTest, FailedRegistration) {
  CAccount account;
  for (const char* reply : {"", "0", "-1", "error"}) {
    m_server.Reply("register", reply);
    EXPECT_EQ(Register(account, {"n@example.com", "pw", "pw", "N", true}), IDS_REGISTER_FAILED);
  }
  EXPECT_FALSE(account.IsLoggedIn());
  EXPECT_EQ(UserKey("Username"), "<missing>");
}

}  // namespace
