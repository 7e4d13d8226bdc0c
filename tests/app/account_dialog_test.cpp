// The account windows: login and registration forms with their hint lines,
// the two panels and their signals, and the import and upload windows.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "../engine/productfiles_fixture.h"
#include "app/logindlg.h"
#include "app/mypaneldlg.h"
#include "app/registerdlg.h"
#include "app/taskimportdlg.h"
#include "app/taskuploaddlg.h"
#include "app/userpaneldlg.h"
#include "base/codepage.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "dialog_helpers.h"
#include "support/fake_account_server.h"

namespace {

QString Hint(const QWidget* dialog, const char* name) {
  return Child<QLabel>(dialog, name)->text();
}
void Type(const QWidget* dialog, const char* name, const QString& text) {
  Child<QLineEdit>(dialog, name)->setText(text);
}

class AccountDialogTest : public ProductFilesFixture {
 protected:
  AccountDialogTest() {
    TestApplication();
    account.AddAccount("lin@example.com", EncodePassword("secret"), "Lin");
    account.PointProgramAt();
    ServePicture("/p.png", EncodePng(DrawnImage(50, 50, {1, 2, 3, 255})));
  }

  TaskPtr Task(int n, int status = 1) {
    CTaskValues v;
    v.url = shop.Link("/item/" + std::to_string(n) + ".html");
    v.productName = "Kettle";
    v.productId = std::to_string(n);
    v.siteDomain = shop.Host();
    v.imageLink = shop.Link("/p.png");
    v.status = status;
    v.frequencyHour = "1";
    v.frequencyMinute = "0";
    return std::make_shared<CTask>(v);
  }

  std::string UserKey(const char* key) {
    return IniGetString(ProgramFile("config.ini"), "User", key, "<missing>");
  }

  CAccount lin{"lin@example.com", EncodePassword("secret"), "Lin"};
  FakeAccountServer account;
};

TEST_F(AccountDialogTest, LoginWindowHintsInOrder) {
  CLoginDlg dialog;
  int result = -1;
  QObject::connect(&dialog, &QDialog::finished, [&result](int r) { result = r; });
  Click(&dialog, "loginButton");
  EXPECT_EQ(Hint(&dialog, "emailHint"), LoadQString(IDS_ENTER_EMAIL));
  EXPECT_EQ(Hint(&dialog, "passwordHint"), LoadQString(IDS_ENTER_PASSWORD));
  Type(&dialog, "email", "lin@example");
  Type(&dialog, "password", QString(51, 'p'));
  Click(&dialog, "loginButton");
  EXPECT_EQ(Hint(&dialog, "emailHint"), QStringLiteral("请输入正确邮箱"));
  EXPECT_EQ(Hint(&dialog, "passwordHint"), QStringLiteral("密码要50字内"));
  EXPECT_EQ(result, -1);
  Type(&dialog, "email", "lin@example.com");
  Type(&dialog, "password", "secret");
  Click(&dialog, "loginButton");
  EXPECT_EQ(Hint(&dialog, "emailHint"), QString());
  EXPECT_EQ(result, CLoginDlg::kResultLogin);
  EXPECT_EQ(account.Requests("login"), 0);  // the window only checks
  EXPECT_EQ(dialog.Form().password, "secret");
}

TEST_F(AccountDialogTest, RegistrationWindowHintsInOrder) {
  CRegisterDlg dialog;
  int result = -1;
  QObject::connect(&dialog, &QDialog::finished, [&result](int r) { result = r; });
  Type(&dialog, "email", "lin@example.com");
  Type(&dialog, "password", "pw");
  Type(&dialog, "repeatedPassword", "pw2");
  Type(&dialog, "nickname", QStringLiteral("价格跟踪者们"));
  Click(&dialog, "registerButton");
  // The address is checked with the server on a worker.
  ASSERT_TRUE(SpinUntil([&] { return !dialog.Checking(); }));
  EXPECT_EQ(Hint(&dialog, "emailHint"), QStringLiteral("邮箱已经存在"));
  EXPECT_EQ(Hint(&dialog, "passwordHint"), QString());
  EXPECT_EQ(Hint(&dialog, "repeatedPasswordHint"), QStringLiteral("两次密码不一致"));
  EXPECT_EQ(Hint(&dialog, "nicknameHint"), QStringLiteral("昵称要10字内"));
  EXPECT_EQ(result, -1);

  Type(&dialog, "email", "new@example.com");
  Type(&dialog, "repeatedPassword", "pw");
  Type(&dialog, "nickname", QStringLiteral("价格跟踪者"));  // ten bytes
  Click(&dialog, "registerButton");
  ASSERT_TRUE(SpinUntil([&] { return !dialog.Checking(); }));
  EXPECT_EQ(Hint(&dialog, "nicknameHint"), QString());
  EXPECT_EQ(result, CRegisterDlg::kResultRegister);
  EXPECT_EQ(dialog.Form().nickname, Utf8ToLocal("价格跟踪者"));
}

TEST_F(AccountDialogTest, BothWindowsSpeakTheProgramsOwnLanguage) {
  CLoginDlg login;
  CRegisterDlg registration;
  for (QDialog* dialog : std::initializer_list<QDialog*>{&login, &registration}) {
    auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("cancelButton"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("取消"));
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
      for (QChar c : button->text())
        EXPECT_FALSE(c.isLetter() && c.unicode() < 128) << button->text().toStdString();
  }
}

TEST_F(AccountDialogTest, LoggedOutPanelLogsIn) {
  MessageRecorder messages;
  CAccount current;
  CUserPanelDlg panel(current);
  int loggedIn = 0;
  QObject::connect(&panel, &CUserPanelDlg::loggedIn, [&loggedIn] { ++loggedIn; });

  account.Reply("login", "1");  // no bar: a failed login
  panel.RunLogin({"lin@example.com", "secret", true});
  ASSERT_TRUE(SpinUntil([&] { return panel.Pending() == 0; }));
  EXPECT_EQ(loggedIn, 0);
  EXPECT_FALSE(current.IsLoggedIn());

  account.Reply("login", "1|name");
  panel.RunLogin({"lin@example.com", "secret", true});
  ASSERT_TRUE(SpinUntil([&] { return panel.Pending() == 0; }));
  EXPECT_EQ(loggedIn, 1);
  EXPECT_EQ(current.nickname, "name");
  EXPECT_EQ(UserKey("Nickname"), "name");
  EXPECT_EQ(messages.Ids(), (std::vector<unsigned>{IDS_LOGIN_FAILED, IDS_LOGIN_OK}));
}

TEST_F(AccountDialogTest, LoggedOutPanelRegisters) {
  MessageRecorder messages;
  CAccount current;
  CUserPanelDlg panel(current);
  int loggedIn = 0;
  QObject::connect(&panel, &CUserPanelDlg::loggedIn, [&loggedIn] { ++loggedIn; });
  panel.RunRegister({"new@example.com", "pw", "pw", "New", false});
  ASSERT_TRUE(SpinUntil([&] { return panel.Pending() == 0; }));
  EXPECT_EQ(loggedIn, 1);
  EXPECT_EQ(current.username, "new@example.com");
  EXPECT_EQ(UserKey("Username"), "<missing>");  // no automatic login asked for
  account.Reply("register", "0");
  panel.RunRegister({"other@example.com", "pw", "pw", "Other", false});
  ASSERT_TRUE(SpinUntil([&] { return panel.Pending() == 0; }));
  EXPECT_EQ(loggedIn, 1);
  EXPECT_EQ(current.username, "new@example.com");
  EXPECT_EQ(messages.Ids(), (std::vector<unsigned>{IDS_REGISTER_OK, IDS_REGISTER_FAILED}));
}

TEST_F(AccountDialogTest, LogoutRemovesTheKeys) {
  SaveAccount(lin);
  CAccount current = lin;
  CAddWorkers workers(Environment());
  CMyPanelDlg panel(current, workers);
  EXPECT_EQ(Child<QLabel>(&panel, "nickname")->text(), QStringLiteral("Lin"));
  int loggedOut = 0;
  QObject::connect(&panel, &CMyPanelDlg::loggedOut, [&loggedOut] { ++loggedOut; });
  Click(&panel, "logoutLink");
  EXPECT_EQ(loggedOut, 1);
  EXPECT_FALSE(current.IsLoggedIn());
  std::string config = home.Read("config.ini");
  for (const char* key : {"Username", "Password", "Nickname"})
    EXPECT_EQ(config.find(key), std::string::npos) << key;
}

TEST_F(AccountDialogTest, ImportWindowShowsTheFinish) {
  for (int n : {1, 2, 3}) account.StoreTask(lin.username, Task(n)->GetUrl(), Task(n)->ToXml());
  tasks.AddTask(Task(3));
  CAddWorkers workers(Environment());
  CTaskImportDlg dialog(lin, workers);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("远程导入任务"));
  EXPECT_EQ(Hint(&dialog, "statusLine"), QStringLiteral("正在导入远程任务，请稍候"));
  dialog.WaitForWorker();
  EXPECT_EQ(dialog.Status().completed, 2);
  EXPECT_EQ(dialog.Status().alreadyPresent, 1);
  EXPECT_EQ(Hint(&dialog, "statusLine"), QStringLiteral("远程任务导入完成！"));
  EXPECT_EQ(Hint(&dialog, "counters"), QStringLiteral("共3，已完成2，已存在1，出错0"));
  EXPECT_EQ(Child<QProgressBar>(&dialog, "progress")->value(), 100);
  workers.Wait();
  EXPECT_EQ(tasks.GetCount(), 3);
}

TEST_F(AccountDialogTest, UploadWithAPausedTaskNeverFinishes) {
  for (int n : {1, 2, 3}) tasks.AddTask(Task(n, n == 2 ? 0 : 1));
  CTaskUploadDlg dialog(lin, tasks);
  EXPECT_EQ(Hint(&dialog, "statusLine"), QStringLiteral("任务正在上传，请稍候"));
  dialog.WaitForWorker();
  EXPECT_EQ(dialog.Status().completed, 2);
  EXPECT_EQ(Hint(&dialog, "statusLine"), QStringLiteral("任务正在上传，请稍候"));
  EXPECT_EQ(Hint(&dialog, "counters"), QStringLiteral("共3，已完成2，已存在0，出错0"));
  EXPECT_EQ(Child<QProgressBar>(&dialog, "progress")->value(), 66);
  EXPECT_EQ(account.StoredUrls(lin.username).size(), 2u);
}

TEST_F(AccountDialogTest, EmptyListFinishesAtOnce) {
  CTaskUploadDlg dialog(lin, tasks);
  dialog.WaitForWorker();
  EXPECT_EQ(Hint(&dialog, "statusLine"), QStringLiteral("任务上传完成！"));
  EXPECT_EQ(Child<QProgressBar>(&dialog, "progress")->value(), 100);
}

TEST_F(AccountDialogTest, ClosingEarlyStopsTheUpload) {
  for (int n = 1; n <= 200; ++n) tasks.AddTask(Task(n));
  {
    CTaskUploadDlg dialog(lin, tasks);
    Click(&dialog, "closeButton");  // waits for the task in flight
  }
  int sent = account.Requests("task");
  EXPECT_LT(sent, 200);
  QCoreApplication::processEvents();  // reports still queued find no window
  EXPECT_EQ(account.Requests("task"), sent);
}

}  // namespace
