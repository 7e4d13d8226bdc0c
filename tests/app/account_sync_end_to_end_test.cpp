// Account synchronisation from end to end, against vantrel-server running in
// this process over SQLite: a user registers in one program directory and
// uploads its tasks; a fresh program directory logs in, imports them, and
// its main window shows and tracks them. Also: the add and delete reports
// go to the account the window signed in with, even when config.ini holds
// none.
#include <QLabel>
#include <QLineEdit>

#include "app/mypaneldlg.h"
#include "app/userpaneldlg.h"
#include "base/ini.h"
#include "base/stringtable.h"
#include "dialog_helpers.h"
#include "engine/productfiles.h"
#include "mainwindow_fixture.h"
#include "server/server.h"
#include "server/store.h"

namespace {

constexpr const char* kEmail = "lin@example.com";

// vantrel-server's HTTP side on a free port of 127.0.0.1, over a SQLite
// store in a folder of its own (not the program directory).
class InProcessServer {
 public:
  InProcessServer() {
    std::string error;
    m_store = OpenServerStore(m_folder.File("server.db"), error);
    if (!m_store) {
      ADD_FAILURE() << "can't open the store: " << error;
      return;
    }
    ServerSettings settings;
    settings.port = 0;
    settings.threads = 4;
    m_server = std::make_unique<CVantrelServer>(*m_store, m_hasher, m_sites, nullptr, settings);
    m_port = m_server->Start();
    if (m_port <= 0) ADD_FAILURE() << "the server did not start";
  }
  ~InProcessServer() {
    if (m_server) m_server->Stop();
  }

  bool Ready() const { return m_store && m_port > 0; }
  // Section "Hosts" of the current program directory names this server.
  void PointProgramAt() const {
    IniWriteString(ProgramFile("config.ini"), "Hosts", "AccountUrl",
                   "http://127.0.0.1:" + std::to_string(m_port) + "/");
  }
  CServerStore& Store() { return *m_store; }

 private:
  TempDir m_folder;
  std::unique_ptr<CServerStore> m_store;
  CPasswordHasher m_hasher{CPasswordHasher::Cost::kMinimum};
  CSiteList m_sites;
  std::unique_ptr<CVantrelServer> m_server;
  int m_port = -1;
};

void Type(QWidget* dialog, const char* name, const QString& text) {
  if (auto* edit = Child<QLineEdit>(dialog, name)) edit->setText(text);
}

QString LabelText(const QWidget* dialog, const char* name) {
  const auto* label = Child<QLabel>(dialog, name);
  return label ? label->text() : QString();
}

class AccountSyncTest : public MainWindowTest {
 protected:
  AccountSyncTest() { PointAtServers(); }

  // The current program directory's account and program servers.
  void PointAtServers() {
    server.PointProgramAt();
    servers.PointProgramAt();
  }

  // A fresh program directory as the fixture makes its own.
  void PrepareProgramDirectory() {
    for (const char* folder : {"productitems", "productprices", "productimgs"})
      MakeDirectories(ProgramFile(folder));
    WriteImage(BlankPicturePath(), DrawnImage(105, 105, {255, 255, 255, 255}), "jpg");
    PointAtServers();
  }

  void OpenWindowOn(CTaskList& list) {
    MainWindowOptions options;
    options.title = "Vantrel";
    options.version = "1.069";
    options.clock = clock;
    options.offerAutoStart = false;
    options.loadWebPanel = false;
    window = std::make_unique<CVantrelDlg>(sites, list, options);
  }

  CUserPanelDlg* UserPanel() { return window->findChild<CUserPanelDlg*>("userPanel"); }
  CMyPanelDlg* MyPanel() { return window->findChild<CMyPanelDlg*>("myPanel"); }
  bool SignedIn() { return MyPanel()->isVisibleTo(window.get()) && UserPanel()->isHidden(); }

  // Opens an import or upload window with `open` and lets it run until its
  // status line shows `finishText` (or 20 s pass), then closes it. The
  // counters it showed at that moment, or "" when the finish never came.
  QString RunSyncWindow(const char* objectName, const std::function<void()>& open,
                        const QString& finishText) {
    QString counters;
    WhenShown(objectName, [&counters, finishText](QWidget* dialog) {
      QElapsedTimer waited;
      waited.start();
      auto* poll = new QTimer(dialog);
      poll->setInterval(10);
      QObject::connect(poll, &QTimer::timeout, dialog, [=, &counters] {
        const bool finished = LabelText(dialog, "statusLine") == finishText;
        if (!finished && waited.elapsed() < 20000) return;
        poll->stop();
        if (finished) counters = LabelText(dialog, "counters");
        Click(dialog, "closeButton");
      });
      poll->start();
    });
    open();
    return counters;
  }

  // Adds the product of a new shop page through the window, as the add
  // window would.
  void AddThroughWindow(const std::string& name, const std::string& id) {
    const std::string path = "/new/" + id + ".html";
    shop.Page(path, ProductPage(name, id, "59.00", shop.Link("/pic.png")));
    AddChoices choices;
    choices.link = shop.Link(path);
    choices.siteName = "Fake";
    window->AddNewTask(choices);
  }

  InProcessServer server;
};

TEST_F(AccountSyncTest, RegisterUploadAndImportIntoAFreshProgramDirectory) {
  ASSERT_TRUE(server.Ready());
  const std::vector<std::string> links = {AddTask("Electric kettle", true)->GetUrl(),
                                          AddTask("Teapot", true)->GetUrl()};
  OpenWindow();

  // Program directory A: register through the registration window.
  WhenShown("registerDialog", [](QWidget* dialog) {
    Type(dialog, "email", QString::fromLatin1(kEmail));
    Type(dialog, "password", "secret");
    Type(dialog, "repeatedPassword", "secret");
    Type(dialog, "nickname", "Lin");
    Click(dialog, "registerButton");
  });
  UserPanel()->OnRegister();
  ASSERT_TRUE(SpinUntil([&] { return SignedIn(); }));
  EXPECT_EQ(Messages(), (std::vector<unsigned>{IDS_REGISTER_OK}));
  ASSERT_TRUE(server.Store().FindAccount(kEmail).has_value());
  EXPECT_EQ(server.Store().FindAccount(kEmail)->nickname, "Lin");

  const QString uploaded = RunSyncWindow(
      "taskUploadDialog", [this] { Click(MyPanel(), "uploadLink"); },
      QStringLiteral("任务上传完成！"));
  EXPECT_EQ(uploaded, QStringLiteral("共2，已完成2，已存在0，出错0"));
  EXPECT_EQ(server.Store().TaskRecords(kEmail).size(), 2u);
  window.reset();

  // Program directory B: same server, same shop, nothing of A's.
  TempDir homeB(true);
  PrepareProgramDirectory();
  CTaskList tasksB;
  struct CloseWindow {
    std::unique_ptr<CVantrelDlg>& window;
    ~CloseWindow() { window.reset(); }  // before tasksB and homeB go
  } closeWindow{window};
  OpenWindowOn(tasksB);
  ASSERT_FALSE(SignedIn());
  ExpectCounts(0, 0, 0);

  WhenShown("loginDialog", [](QWidget* dialog) {
    Type(dialog, "email", QString::fromLatin1(kEmail));
    Type(dialog, "password", "secret");
    Click(dialog, "loginButton");
  });
  UserPanel()->OnLogin();
  ASSERT_TRUE(SpinUntil([&] { return SignedIn(); }));

  const QString imported = RunSyncWindow(
      "taskImportDialog", [this] { Click(MyPanel(), "importLink"); },
      QStringLiteral("远程任务导入完成！"));
  EXPECT_EQ(imported, QStringLiteral("共2，已完成2，已存在0，出错0"));

  // The worker schedules a task just after its row is filled, so wait for both.
  ASSERT_TRUE(SpinUntil([&] {
    if (Model().rowCount() != 2) return false;
    for (int row : {0, 1})
      if (Model().PicturePath(row) == BlankPicturePath()) return false;
    for (const std::string& link : links)
      if (!window->Tracker().IsScheduled(link)) return false;
    return true;
  }));
  const QStringList names = {Cell(0, kColumnName), Cell(1, kColumnName)};
  EXPECT_TRUE(names.contains(QStringLiteral("Electric kettle"))) << names.join(",").toStdString();
  EXPECT_TRUE(names.contains(QStringLiteral("Teapot")));
  for (int row : {0, 1}) {
    EXPECT_EQ(Cell(row, kColumnPrice).section(QStringLiteral("\r\n"), 0, 0),
              QStringLiteral("99.00"));
    const std::string picture = Model().PicturePath(row);
    EXPECT_EQ(picture.rfind(ProgramFile("productimgs/"), 0), 0u) << picture;
    EXPECT_TRUE(FileExists(picture)) << picture;
  }
  for (const std::string& link : links) {
    EXPECT_TRUE(window->Tracker().IsScheduled(link)) << link;
    ASSERT_NE(tasksB.FindByUrl(link), nullptr);
    EXPECT_EQ(tasksB.FindByUrl(link)->GetStatus(), 1);
  }
  ExpectCounts(2, 2, 0);
  EXPECT_EQ(SavedStatuses(), (std::vector<int>{1, 1}));
  EXPECT_EQ(IniGetString(ProgramFile("config.ini"), "User", "Username", "<none>"), "<none>");
}

TEST_F(AccountSyncTest, ReportsGoToTheAccountSignedInWithoutAutomaticLogin) {
  ASSERT_TRUE(server.Ready());
  OpenWindow();
  UserPanel()->RunRegister({kEmail, "secret", "secret", "Lin", false});
  ASSERT_TRUE(SpinUntil([&] { return SignedIn(); }));
  ASSERT_EQ(IniGetString(ProgramFile("config.ini"), "User", "Username", "<none>"), "<none>");

  AddThroughWindow("Rice cooker", "501");
  ASSERT_TRUE(SpinUntil([&] { return server.Store().TaskRecords(kEmail).size() == 1; }));

  Select({0});
  window->DeleteSelected();
  ASSERT_TRUE(SpinUntil([&] { return server.Store().TaskRecords(kEmail).empty(); }));

  // Signed out: the next addition is reported to nobody.
  Click(MyPanel(), "logoutLink");
  ASSERT_FALSE(SignedIn());
  AddThroughWindow("Toaster", "502");
  ASSERT_TRUE(SpinUntil([&] { return window->TotalCount() == 1; }));
  window.reset();  // waits for the add worker and its report
  EXPECT_TRUE(server.Store().TaskRecords(kEmail).empty());
}

}  // namespace
