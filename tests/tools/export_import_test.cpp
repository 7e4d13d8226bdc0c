// vantrelctl export and import: a task list with histories moved to a new
// folder, CSV for spreadsheets, damaged files and links already tracked.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "base/codepage.h"
#include "base/files.h"
#include "engine/task.h"
#include "engine/tasklist.h"
#include "services/history.h"
#include "support/command_line.h"
#include "support/tempdir.h"

namespace {

CTaskValues Values(int n, const std::string& name) {
  CTaskValues v;
  v.url = "http://shop.example/item/" + std::to_string(n) + ".html";
  v.imageLink = "http://shop.example/" + std::to_string(n) + ".jpg";
  v.productName = Utf8ToLocal(name);
  v.productId = std::to_string(1000 + n);
  v.frequencyHour = "1";
  v.frequencyMinute = "30";
  v.status = n % 2;
  v.siteName = Utf8ToLocal("通用");
  v.siteDomain = "shop.example";
  v.trackPrice = true;
  v.trackStock = n % 2 == 0;
  v.currentPrice = "1299.00";
  v.currentStock = 1;
  v.lastUpdate = "2026-12-09 10:00:00";
  v.priceDown = true;
  v.targetPrice = n == 1 ? "999" : "";
  v.dropPercent = n == 1 ? "5" : "";
  v.currency = n == 1 ? "EUR" : "";
  return v;
}

std::string Repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

class ExportImportTest : public testing::Test {
 protected:
  ExportImportTest() {
    CTaskList tasks;
    tasks.AddTask(std::make_shared<CTask>(Values(1, "保温杯, \"大号\"")));
    tasks.AddTask(std::make_shared<CTask>(Values(2, "Kettle\nline two")));
    EXPECT_TRUE(tasks.SaveTasks(home.File("tasks.xml")));
    MakeDirectories(home.File("productprices"));
    CPriceInfo history;
    history.AddItem({"2026-12-01 08:00:00", "1399.00"});
    history.AddItem({"2026-12-05 08:00:00", "1299.00"});
    history.SetSummary({"2026-11-11 00:00:00", "999.00"}, {"2026-12-01 08:00:00", "1399.00"});
    EXPECT_TRUE(history.SaveCache(home.File("productprices/shop.example_1001.xml")));
  }

  // Runs vantrelctl with `folder` as its program directory.
  std::string Run(const TempDir& folder, const std::string& arguments, int& status) {
    return RunShell(
        "VANTREL_HOME='" + folder.Path() + "' " + VantrelctlPath() + " " + arguments + " 2>&1",
        status);
  }

  TempDir home{true};
  TempDir other;
};

TEST_F(ExportImportTest, JsonMovesTasksAndHistoriesExactly) {
  int status = -1;
  std::string out = Run(home, "export '" + other.File("tasks.json") + "'", status);
  ASSERT_EQ(status, 0) << out;
  out = Run(other, "import '" + other.File("tasks.json") + "'", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out,
            "added\thttp://shop.example/item/1.html\t保温杯, \"大号\"\n"
            "added\thttp://shop.example/item/2.html\tKettle\\nline two\n");
  EXPECT_EQ(other.Read("tasks.xml"), home.Read("tasks.xml"));
  EXPECT_EQ(other.Read("productprices/shop.example_1001.xml"),
            home.Read("productprices/shop.example_1001.xml"));
  EXPECT_FALSE(FileExists(other.File("productprices/shop.example_1002.xml")));

  // Again: every link is tracked already.
  out = Run(other, "import '" + other.File("tasks.json") + "'", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out,
            "skipped\thttp://shop.example/item/1.html\nskipped\thttp://shop.example/item/2.html\n");
  EXPECT_EQ(other.Read("tasks.xml"), home.Read("tasks.xml"));
}

TEST_F(ExportImportTest, CsvOpensInASpreadsheetAndReadsBack) {
  int status = -1;
  const std::string csv = Run(home, "export --format csv", status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(csv.rfind("\xEF\xBB\xBFUrl,SiteName,", 0), 0u) << csv;
  EXPECT_NE(csv.find(",\"保温杯, \"\"大号\"\"\","), std::string::npos) << csv;
  EXPECT_NE(csv.find(",\"Kettle\nline two\","), std::string::npos);
  other.Write("tasks.csv", csv);
  const std::string out = Run(other, "import '" + other.File("tasks.csv") + "'", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(other.Read("tasks.xml"), home.Read("tasks.xml"));
}

TEST_F(ExportImportTest, CsvCellsNeverRunAsFormulas) {
  CTaskList tasks;
  ASSERT_TRUE(tasks.LoadTasks(home.File("tasks.xml"), "", "", nullptr));
  CTaskValues v = Values(3, "=HYPERLINK(\"http://x.example\")");
  v.currency = "-EUR";
  v.targetPrice = "+1";
  v.dropPercent = "'@x";
  tasks.AddTask(std::make_shared<CTask>(v));
  ASSERT_TRUE(tasks.SaveTasks(home.File("tasks.xml")));
  int status = -1;
  const std::string csv = Run(home, "export --format csv", status);
  for (const char* cell :
       {",\"'=HYPERLINK(\"\"http://x.example\"\")\",", ",'-EUR,", ",'+1,", ",''@x,"})
    EXPECT_NE(csv.find(cell), std::string::npos) << cell << "\n" << csv;
  other.Write("tasks.csv", csv);
  Run(other, "import '" + other.File("tasks.csv") + "'", status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(other.Read("tasks.xml"), home.Read("tasks.xml"));
}

TEST_F(ExportImportTest, ExportReplacesOnlyRegularFiles) {
  const std::string target = other.File("target.json");
  other.Write("target.json", "keep");
  ASSERT_EQ(symlink(target.c_str(), other.File("link.json").c_str()), 0);
  ASSERT_EQ(mkfifo(other.File("fifo.json").c_str(), 0600), 0);
  other.Write("locked.json", "keep");
  chmod(other.File("locked.json").c_str(), 0444);
  int status = -1;
  for (const char* name : {"link.json", "fifo.json", "locked.json"}) {
    SCOPED_TRACE(name);
    Run(home, std::string("export '") + other.File(name) + "'", status);
    EXPECT_EQ(status, 1);
    Run(home, std::string("export --force '") + other.File(name) + "'", status);
    EXPECT_EQ(status, 0);
    struct stat st;
    ASSERT_EQ(lstat(other.File(name).c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
  }
  EXPECT_EQ(other.Read("target.json"), "keep");
  RunShell("umask 027; VANTREL_HOME='" + home.Path() + "' " + VantrelctlPath() + " export '" +
               other.File("new.json") + "'",
           status);
  struct stat st;
  ASSERT_EQ(stat(other.File("new.json").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ExportImportTest, DamagedFilesAddNothingAndSayWhere) {
  const struct {
    const char* what;
    std::string bytes;
    std::string message;
  } cases[] = {
      {"broken JSON", "{\"Tasks\": [\n{\"Url\": \"http://a/1\"},\n{\"Url\": }\n]}",
       "line 3: not valid JSON"},
      {"wrong type in an entry",
       R"({"Tasks": [{"Url": "http://a/1"}, {"Url": "http://a/2", "TrackPrice": "yes"}]})",
       "entry 2: field TrackPrice has a wrong value"},
      {"entry without a link", R"({"Tasks": [{"Url": "http://a/1"}, {"ProductName": "x"}]})",
       "entry 2: no Url"},
      {"bad history", R"({"Tasks": [{"Url": "http://a/1", "History": {"Points": 3}}]})",
       "entry 1: its History is not a price history"},
      {"CSV row too short", "Url,ProductName\r\nhttp://a/1,A\r\nhttp://a/2\r\n",
       "line 3: 1 cells, the header has 2"},
      {"CSV quote never closed", "Url,ProductName\r\nhttp://a/1,\"A\r\nhttp://a/2,B\r\n",
       "line 2: a quote is never closed"},
      {"CSV unknown column", "Url,Colour\r\nhttp://a/1,red\r\n", "line 1: unknown column Colour"},
      {"control character in a link", R"({"Tasks": [{"Url": "http://a/1\u001b[2J"}]})",
       "entry 1: its Url holds a control character"},
      {"CSV control character in a link", "Url\r\nhttp://a/1\x07\r\n",
       "line 2: its Url holds a control character"},
      {"nested without end", "{\"Tasks\": " + std::string(100000, '['),
       "nested deeper than 64 levels"},
      {"more tasks than any list", "Url\n" + Repeated("http://a/\n", 5001), "more than 5000 tasks"},
      {"CSV row of commas", "Url\n" + Repeated(",", 100000),
       "line 2: more cells than there are columns"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    other.Write("bad.txt", c.bytes);
    int status = -1;
    const std::string out = Run(other, "import '" + other.File("bad.txt") + "'", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(c.message + "; nothing was added"), std::string::npos) << out.substr(0, 300);
    EXPECT_FALSE(FileExists(other.File("tasks.xml")));
  }
}

}  // namespace
