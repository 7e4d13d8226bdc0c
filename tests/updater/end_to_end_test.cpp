// The built programs together: `Vantrel` finds a newer version and hands over
// to `update`, which ends the running program, replaces a file and the shop
// rules, and starts it again. Both run from a copy of the program directory
// against an update folder served on 127.0.0.1.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include "base/files.h"
#include "base/message.h"
#include "base/proclist.h"
#include "base/stringtable.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "support/command_line.h"
#include "support/http_server.h"
#include "support/qt_application.h"
#include "support/tempdir.h"
#include "updater/updaterdlg.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// An environment variable set for the test's lifetime (children inherit it).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    m_had = std::getenv(name) != nullptr;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (m_had)
      setenv(m_name, m_old.c_str(), 1);
    else
      unsetenv(m_name);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* m_name;
  std::string m_old;
  bool m_had = false;
};

// A process is gone once /proc no longer has it or it is a zombie.
bool ProcessGone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const size_t close = line.rfind(')');
  return close == std::string::npos || line.substr(close + 2, 1) == "Z";
}

// The program has installed its SIGTERM handler, the last step of its
// start-up: from then on a stop request ends it cleanly.
bool HandlesStopSignal(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigCgt:", 0) != 0) continue;
    const unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
    return (mask >> (SIGTERM - 1)) & 1;
  }
  return false;
}

// A rule file with `count` shops named shop + number; the main program takes
// a file under about 60 KB for a placeholder and drops it.
std::string RulesFile(const std::string& version, const std::string& shop, int count = 600) {
  CSiteList list;
  for (int i = 0; i < count; ++i) {
    auto site = std::make_shared<CSite>();
    site->SetName(shop + std::to_string(i));
    site->SetDomain("shop" + std::to_string(i) + ".com");
    list.AddSite(site);
  }
  list.SetVersion(version);
  TempDir scratch;
  list.SaveSites(scratch.File("sites.xml"));
  return scratch.Read("sites.xml");
}

std::string TasksFile() {
  CTaskValues values;
  values.url = "http://127.0.0.1:9/kettle.html";
  values.productName = "Kettle";
  values.frequencyHour = "1";
  values.frequencyMinute = "0";
  CTaskList tasks;
  tasks.AddTask(std::make_shared<CTask>(values));
  TempDir scratch;
  tasks.SaveTasks(scratch.File("tasks.xml"));
  return scratch.Read("tasks.xml");
}

// A program directory made from the built one: the main program under a name
// no other process of this user carries (the updater ends programs by name),
// the skin files, and a config.ini whose servers are all the test's own.
class EndToEndUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    const fs::path built = std::getenv("VANTREL_PROGRAM_DIR");
    ASSERT_TRUE(fs::exists(built / "Vantrel")) << built;
    CopyDataFiles(built, fs::path(home.Path()));
    fs::copy_file(built / "Vantrel", home.File(name));
    home.Write("sites.xml", RulesFile("5", "Old"));
    ASSERT_GT(home.Read("sites.xml").size(), 61000u);
    home.Write("tasks.xml", TasksFile());
    home.Write("imgs/Del.png", "old picture");
    // Already set to start with the session, so no question is asked.
    config.Write("autostart/Vantrel.desktop",
                 "[Desktop Entry]\nType=Application\nName=Vantrel\nExec=\"" + home.File(name) +
                     "\" hidewnd\n");
    server.Get("/upd/update.ini", [this](const httplib::Request&, httplib::Response& reply) {
      std::lock_guard lock(m_infoLock);
      reply.set_content(m_info, "text/plain");
    });
  }
  void TearDown() override {
    SetMessageHandler(nullptr);
    // Whatever this test started and left running (the name is ours alone).
    for (pid_t pid; (pid = FindRunningProgram(name)) > 0;) {
      kill(pid, SIGKILL);
      SpinUntil([pid] { return ProcessGone(pid); }, 5000);
      if (!ProcessGone(pid)) break;
    }
    if (m_child > 0) waitpid(m_child, nullptr, 0);
  }

  // Everything of the built program directory but the other programs.
  static void CopyDataFiles(const fs::path& from, const fs::path& to) {
    for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
      const fs::path target = to / entry.path().filename();
      if (entry.is_directory()) {
        fs::copy(entry.path(), target, fs::copy_options::recursive);
      } else if (entry.is_regular_file() &&
                 (entry.status().permissions() & fs::perms::owner_exec) == fs::perms::none) {
        fs::copy_file(entry.path(), target);
      }
    }
  }

  void WriteConfig(int autoUpdate) {
    std::string ini = "[Base]\r\nAutoUpdate=" + std::to_string(autoUpdate) + "\r\n[Hosts]\r\n";
    for (const char* key :
         {"SiteRulesUrl", "HistoryUrl", "ComparisonUrl", "ComparisonItemUrl", "CommissionUrl",
          "SidePanelUrl", "HelpUrl", "FollowUrl", "HomePageUrl", "LogoUrl"})
      ini += std::string(key) + "=" + server.Url("/none/" + std::string(key)) + "\r\n";
    ini += "AccountUrl=" + server.Url("/account/") + "\r\n";
    ini += "UpdateInfoUrl=" + InfoUrl() + "\r\n";
    home.Write("config.ini", ini);
  }

  // In place of the updater: a script that writes down its arguments.
  void InstallRecordingUpdater() {
    home.Write("update", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + home.File("args.tmp") +
                             "' && mv '" + home.File("args.tmp") + "' '" + home.File("args") +
                             "'\n");
    chmod(home.File("update").c_str(), 0755);
  }

  void ServeInfo(const std::string& text) {
    std::lock_guard lock(m_infoLock);
    m_info = text;
  }
  std::string InfoUrl() const { return server.Url("/upd/update.ini"); }

  // The copied main program as a child of the test, its output in vantrel.log.
  pid_t StartProgram(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {home.File(name)};
    all.insert(all.end(), arguments.begin(), arguments.end());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = home.File("vantrel.log");
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const pid_t pid = SpawnProgram(all, &actions);
    posix_spawn_file_actions_destroy(&actions);
    m_child = pid;
    return pid;
  }

  // Waits for the child to end; its exit status, or -1 (killed, or still running).
  int WaitForExit(pid_t pid, int seconds = 20) {
    int status = 0;
    const bool ended =
        SpinUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds * 1000);
    if (!ended) return -1;
    m_child = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Log() const { return home.Read("vantrel.log"); }

  TempDir home{true};
  TempDir config;
  ScopedEnv m_online{"VANTREL_ASSUME_ONLINE", "1"};
  ScopedEnv m_config{"XDG_CONFIG_HOME", config.Path()};
  TestHttpServer server;
  std::string name = "VantrelE2E" + std::to_string(getpid());
  pid_t m_child = -1;

 private:
  std::mutex m_infoLock;
  std::string m_info;
};

// At start-up the main program finds a newer version, starts the updater with
// its name, its version, the rules' version and the update.ini address, and
// ends, leaving update.ini for the updater.
TEST_F(EndToEndUpdate, MainProgramHandsOverToTheUpdater) {
  WriteConfig(0);
  InstallRecordingUpdater();
  ServeInfo("[Vantrel]\r\nVERSION=99\r\nSITE_CONFIG_VERSION=5\r\n");

  const pid_t pid = StartProgram({"hidewnd"});
  ASSERT_GT(pid, 0);
  EXPECT_EQ(WaitForExit(pid), 0) << Log();
  ASSERT_TRUE(SpinUntil([&] { return FileExists(home.File("args")); }, 10000)) << Log();
  EXPECT_EQ(home.Read("args"), "Vantrel\n" + LoadString(IDS_VERSION) + "\n5\n" + InfoUrl() + "\n");
  EXPECT_TRUE(FileExists(home.File("update.ini")));
  EXPECT_EQ(server.Requests("/upd/update.ini"), 1);
}

// The updater ends the running main program (which saves its tasks), replaces
// a program file and the shop rules, and starts the program again, which then
// runs with the new rules.
TEST_F(EndToEndUpdate, UpdaterEndsReplacesAndRestartsTheMainProgram) {
  // Update checks at start-up are off, so the program stays up to be updated.
  WriteConfig(1);
  InstallRecordingUpdater();
  const std::string newPicture = home.Read("imgs/UpdateFinish.png");
  ASSERT_FALSE(newPicture.empty());
  server.Page("/upd/sites.xml", RulesFile("6", "New"), "text/xml");
  server.Page("/upd/imgs/Del.png", newPicture, "image/png");
  ServeInfo("[" + name + "]\r\nVERSION=99\r\nSITE_CONFIG_VERSION=6\r\nFILE1=imgs/Del.png\r\n");

  const pid_t old = StartProgram({"hidewnd"});
  ASSERT_GT(old, 0);
  ASSERT_TRUE(SpinUntil([&] { return HandlesStopSignal(old); }, 20000)) << Log();
  // Saving on the way out writes tasks.xml anew.
  utimbuf epoch = {0, 0};
  ASSERT_EQ(utime(home.File("tasks.xml").c_str(), &epoch), 0);
  ASSERT_EQ(FindRunningProgram(name), old);

  int questions = 0;
  SetMessageHandler([&](unsigned, int kind, const std::string&) {
    questions += kind == kMessageQuestion;
    return kind == kMessageQuestion ? IDYES : IDOK;
  });
  CUpdaterDlg dialog(UpdaterArguments{name, LoadString(IDS_VERSION), "5", InfoUrl()});
  dialog.show();
  dialog.StartWork();
  ASSERT_TRUE(SpinUntil([&] { return dialog.StartButton()->isVisible(); }, 20000));

  EXPECT_EQ(questions, 1);
  EXPECT_EQ(WaitForExit(old, 1), 0) << "ended cleanly on the stop request\n" << Log();
  struct stat saved;
  ASSERT_EQ(stat(home.File("tasks.xml").c_str(), &saved), 0);
  EXPECT_GT(saved.st_mtime, 0);
  EXPECT_NE(home.Read("tasks.xml").find("Kettle"), std::string::npos);
  EXPECT_EQ(home.Read("imgs/Del.png"), newPicture);
  EXPECT_FALSE(FileExists(home.File("imgs/Del.png.upg")));
  CSiteList rules;
  ASSERT_TRUE(rules.LoadSites(home.File("sites.xml")));
  EXPECT_EQ(rules.GetVersion(), "6");
  ASSERT_GT(rules.GetCount(), 0u);
  EXPECT_EQ(rules.GetSiteAt(0)->GetName(), "New0");
  EXPECT_FALSE(FileExists(home.File("update.ini")));

  // The program started again checks for updates: the server now offers
  // nothing newer than the rules it runs with, so it stays up and does not
  // hand over again.
  WriteConfig(0);
  ServeInfo("[Vantrel]\r\nVERSION=" + LoadString(IDS_VERSION) + "\r\nSITE_CONFIG_VERSION=6\r\n");
  const int checksBefore = server.Requests("/upd/update.ini");
  dialog.StartButton()->click();
  EXPECT_EQ(dialog.result(), CUpdaterDlg::kStartResult);
  pid_t restarted = -1;
  ASSERT_TRUE(SpinUntil([&] { return (restarted = FindRunningProgram(name)) > 0; }, 20000))
      << Log();
  EXPECT_NE(restarted, old);
  ASSERT_TRUE(SpinUntil([&] { return HandlesStopSignal(restarted); }, 20000)) << Log();
  EXPECT_EQ(server.Requests("/upd/update.ini"), checksBefore + 1);
  EXPECT_FALSE(FileExists(home.File("args")));

  kill(restarted, SIGTERM);
  EXPECT_TRUE(SpinUntil([&] { return ProcessGone(restarted); }, 20000)) << Log();
}

}  // namespace
