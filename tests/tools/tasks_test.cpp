// vantrelctl tasks, history and comparison, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>

#include "base/codepage.h"
#include "base/files.h"
#include "base/timetext.h"
#include "services/history.h"
#include "support/fake_program_servers.h"
#include "support/tempdir.h"

namespace {

struct CtlRun {
  int status;
  std::string out;
};

// The built vantrelctl: from VANTREL_PROGRAM_DIR (set by ctest), else bin/
// beside this test's folder.
std::string Vantrelctl() {
  if (const char* dir = std::getenv("VANTREL_PROGRAM_DIR")) return std::string(dir) + "/vantrelctl";
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin" /
          "vantrelctl")
      .string();
}

std::string Quote(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs vantrelctl in the test's program directory (VANTREL_HOME is
// inherited) and gives its exit status and standard output.
CtlRun Ctl(std::initializer_list<std::string> args) {
  std::string command = Quote(Vantrelctl());
  for (const std::string& a : args) command += " " + Quote(a);
  CtlRun run{-1, ""};
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n";

class Workbench : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FileExists(Vantrelctl())) GTEST_SKIP() << "vantrelctl is not built";
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
  }
  TempDir home{true};
};

TEST_F(Workbench, TasksListsOneLinePerTask) {
  home.Write("tasks.xml",
             std::string(kDeclaration) +
                 "<TaskList><Task><Url>http://shop.example/1</Url><ProductName>电水壶\t1.5L "
                 "&amp; 杯</ProductName><Status>true</Status><CurrentPrice>99.00</CurrentPrice>"
                 "<CurrentStock>false</CurrentStock></Task>"
                 "<Task><Url>http://shop.example/2</Url><ProductName>B</ProductName>"
                 "<Status>FALSE</Status><CurrentPrice></CurrentPrice><CurrentStock>true"
                 "</CurrentStock></Task></TaskList>");
  CtlRun run = Ctl({"tasks"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "http://shop.example/1\t电水壶\\t1.5L & 杯\t99.00\t0\ttracked\t-\n"
            "http://shop.example/2\tB\t\t1\tpaused\t-\n");
}

TEST_F(Workbench, TasksEndWithTheVerdictOfTheirHistory) {
  home.Write("tasks.xml", std::string(kDeclaration) +
                              "<TaskList><Task><Url>http://shop.example/1</Url><ProductName>A"
                              "</ProductName><ProductID>1</ProductID><SiteDomain>shop.example"
                              "</SiteDomain><CurrentPrice>165.00</CurrentPrice></Task></TaskList>");
  // 165 is the lowest since 170 held 90 days ago, not since 120 half a year ago.
  CPriceInfo history;
  for (const auto& [daysAgo, price] :
       {std::pair{200, "120.00"}, {100, "170.00"}, {50, "175.00"}, {0, "165.00"}})
    history.AddItem({FormatTimeText(std::time(nullptr) - daysAgo * 86400), price});
  MakeDirectories(home.File("productprices"));
  ASSERT_TRUE(history.SaveCache(home.File("productprices/shop.example_1.xml")));
  CtlRun run = Ctl({"tasks"});
  EXPECT_EQ(run.out, "http://shop.example/1\tA\t165.00\t0\tpaused\t近90天最低\n");
}

TEST_F(Workbench, TasksWithoutAReadableListSaysSo) {
  CtlRun missing = Ctl({"tasks"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  home.Write("tasks.xml", "<TaskList><Task>");
  EXPECT_EQ(Ctl({"tasks"}).status, 1);
  EXPECT_EQ(home.Read("tasks.xml"), "<TaskList><Task>");  // left as it was
  home.Write("tasks.xml", std::string(kDeclaration) + "<TaskList></TaskList>");
  EXPECT_EQ(Ctl({"tasks"}).status, 1);
  EXPECT_EQ(Ctl({"tasks", "extra"}).status, 2);
}

TEST_F(Workbench, HistoryPrintsTheFileItWouldStore) {
  FakeProgramServers servers;
  servers.PointProgramAt();
  servers.History("http://shop.example/1",
                  R"([{"t":"1357056000","p":"8"},{"t":"1356969600","p":"9.5"}])");
  CtlRun run = Ctl({"history", "http://shop.example/1", "8.00"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string(kDeclaration) +
                         "<HPrices><LPDate>2013-01-02 00:00:00</LPDate><LowestPrice>8.00"
                         "</LowestPrice><HPDate>2013-01-01 00:00:00</HPDate><HighestPrice>9.50"
                         "</HighestPrice><HPriceList>"
                         "<HPrice><Date>2013-01-02 00:00:00</Date><Price>8.00</Price></HPrice>"
                         "<HPrice><Date>2013-01-01 00:00:00</Date><Price>9.50</Price></HPrice>"
                         "</HPriceList></HPrices>\n"
                         "low30\t8.00\t2013-01-02 00:00:00\n"
                         "low90\t8.00\t2013-01-02 00:00:00\n"
                         "low180\t8.00\t2013-01-02 00:00:00\n"
                         "lowest\t8.00\t2013-01-02 00:00:00\n"
                         "verdict\t历史最低\n");
  EXPECT_EQ(servers.Requests(ProgramEndpoint::kHistory), 1);
  EXPECT_EQ(Ctl({"history"}).status, 2);
}

TEST_F(Workbench, ComparisonPrintsTheFileItWouldStore) {
  FakeProgramServers servers;
  servers.PointProgramAt();
  servers.Comparison("http://shop.example/1",
                     R"({"title":"\u676f","price":"20","url":"http:\/\/b.example\/2","site":"B"})"
                     R"({"title":"A","price":"10","url":"http:\/\/a.example\/1","site":"\u7532"})");
  CtlRun run = Ctl({"comparison", "http://shop.example/1", "电水壶"});
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.out.rfind(std::string(kDeclaration) + "<PItems><Date>", 0), 0u) << run.out;
  std::string rest = run.out.substr(run.out.find("</Date>"));
  EXPECT_EQ(
      rest,
      "</Date><ItemID></ItemID><PItemList>"
      "<PItem><Name>A</Name><Price>10</Price><Url>http://a.example/1</Url><GotoUrl></GotoUrl>"
      "<Site>甲</Site></PItem>"
      "<PItem><Name>杯</Name><Price>20</Price><Url>http://b.example/2</Url><GotoUrl></GotoUrl>"
      "<Site>B</Site></PItem></PItemList></PItems>\n");
  ASSERT_EQ(servers.Requests(ProgramEndpoint::kComparison), 1);
  EXPECT_EQ(servers.Log()[0].Query("name"), Utf8ToLocal("电水壶"));
  EXPECT_EQ(Ctl({"comparison", "http://shop.example/1"}).status, 2);
}

}  // namespace
