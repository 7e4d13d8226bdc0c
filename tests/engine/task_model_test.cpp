#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "base/codepage.h"
#include "engine/task.h"

namespace {

// Test texts are written in UTF-8; the program holds them in GBK.
std::string Gbk(const std::string& utf8) { return Utf8ToLocal(utf8); }

CTaskValues SampleValues() {
  CTaskValues v;
  v.url = "http://shop.example/item?id=1&x=<2>";
  v.imageLink = "http://img.example/1.jpg";
  v.productName = Gbk("中文 & \"名\"");
  v.productId = "1/2";
  v.frequencyMinute = "30";
  v.frequencyHour = "1";
  v.status = 1;
  v.siteName = Gbk("示例商城");
  v.siteDomain = "shop.example";
  v.trackStock = true;
  v.trackPrice = false;
  v.currentPrice = "12.50";
  v.currentStock = -1;
  v.lastUpdate = "2013-01-02 03:04:05";
  v.priceUp = false;
  v.priceDown = true;
  v.targetPrice = "10.00";
  v.gotoUrl = "http://go.example/?u=1&k='a'";
  return v;
}

TEST(TaskModel, NewTaskIsEmptyWithNoCachesAttached) {
  CTask task;
  EXPECT_EQ(task.GetUrl(), "");
  EXPECT_EQ(task.GetGotoUrl(), "");
  EXPECT_EQ(task.GetStatus(), 0);
  EXPECT_EQ(task.GetCompareInfo(), nullptr);
  EXPECT_EQ(task.GetPriceHistory(), nullptr);
}

TEST(TaskModel, ProductNameLosesEveryNbspThroughSetterAndConstructor) {
  CTask task;
  task.SetProductName("A&nbsp;B&nbsp;&nbsp;C&nbsp");
  EXPECT_EQ(task.GetProductName(), "ABC&nbsp");
  CTaskValues values;
  values.productName = "&nbsp;X&amp;nbsp;";
  EXPECT_EQ(CTask(values).GetProductName(), "X&amp;nbsp;");
  // Only the name has the rule.
  task.SetSiteName("a&nbsp;b");
  EXPECT_EQ(task.GetSiteName(), "a&nbsp;b");
}

TEST(TaskModel, ToXmlWritesTheRecordInFileOrderEscapedAndInUtf8) {
  CTask task(SampleValues());
  EXPECT_EQ(task.ToXml(),
            "<Task><Url>http://shop.example/item?id=1&amp;x=&lt;2&gt;</Url>"
            "<ImageLink>http://img.example/1.jpg</ImageLink>"
            "<ProductName>中文 &amp; &quot;名&quot;</ProductName>"
            "<ProductID>1/2</ProductID><FrequencyMinute>30</FrequencyMinute>"
            "<FrequencyHour>1</FrequencyHour><Status>true</Status>"
            "<SiteName>示例商城</SiteName><SiteDomain>shop.example</SiteDomain>"
            "<TrackPrice>false</TrackPrice><TrackStock>true</TrackStock>"
            "<CurrentPrice>12.50</CurrentPrice><CurrentStock>true</CurrentStock>"
            "<LastUpdate>2013-01-02 03:04:05</LastUpdate><PriceUp>false</PriceUp>"
            "<PriceDown>true</PriceDown><TargetPrice>10.00</TargetPrice>"
            "<GotoUrl>http://go.example/?u=1&amp;k=&apos;a&apos;</GotoUrl>"
            "<StockUndetermined>true</StockUndetermined></Task>");
}

TEST(TaskModel, RecordFollowsEveryChangeOfASavedField) {
  CTask task(SampleValues());
  const std::function<void()> changes[] = {
      [&] { task.SetUrl("u2"); },
      [&] { task.SetImageLink("i2"); },
      [&] { task.SetProductName("n2"); },
      [&] { task.SetProductID("p2"); },
      [&] { task.SetFrequencyMinute("7"); },
      [&] { task.SetFrequencyHour("8"); },
      [&] { task.SetStatus(0); },
      [&] { task.SetSiteName("s2"); },
      [&] { task.SetSiteDomain("d2"); },
      [&] { task.SetTrackStock(false); },
      [&] { task.SetTrackPrice(true); },
      [&] { task.SetCurrentPrice("1.00"); },
      [&] { task.SetCurrentStock(0); },
      [&] { task.SetLastUpdate("2014-01-01 00:00:00"); },
      [&] { task.SetPriceUp(true); },
      [&] { task.SetPriceDown(false); },
      [&] { task.SetTargetPrice("2.00"); },
      [&] { task.SetGotoUrl("g2"); },
  };
  std::string before = task.ToXml();
  for (size_t i = 0; i < std::size(changes); ++i) {
    changes[i]();
    std::string after = task.ToXml();
    EXPECT_NE(after, before) << "change " << i;
    before = after;
  }
  // Run-time fields are not part of the record.
  task.SetPriceState("down");
  task.SetAddMode("add");
  EXPECT_EQ(task.ToXml(), before);
}

TEST(TaskModel, StatusAndStockGoThroughTheFlagForm) {
  struct Case {
    int status;
    int stock;
    const char* statusText;
    const char* stockText;
  } const cases[] = {
      {0, 0, "<Status>false</Status>", "<CurrentStock>false</CurrentStock>"},
      {1, 1, "<Status>true</Status>", "<CurrentStock>true</CurrentStock>"},
      {FETCHING_MARK, FETCHING_MARK, "<Status>true</Status>", "<CurrentStock>true</CurrentStock>"},
      {1, -1, "<Status>true</Status>", "<CurrentStock>true</CurrentStock>"},
  };
  for (const Case& c : cases) {
    CTask task;
    task.SetStatus(c.status);
    task.SetCurrentStock(c.stock);
    std::string xml = task.ToXml();
    EXPECT_NE(xml.find(c.statusText), std::string::npos) << c.status;
    EXPECT_NE(xml.find(c.stockText), std::string::npos) << c.stock;
  }
}

TEST(TaskModel, ProductFileKeyReplacesSeparators) {
  struct Case {
    const char* domain;
    const char* id;
    const char* key;
  } const cases[] = {
      {"a/b|c", "x/y", "a_b_c_x_y"},
      {"shop.example", "123", "shop.example_123"},
      {"", "", "_"},
      // "|" is only replaced in the domain; ".." cannot climb out of the folder.
      {"d", "../|x", "d_.._|x"},
      // "\\" would become "/" in the path, control characters and DEL have no
      // place in a file name; other bytes (GBK too) stay as they are.
      {"..\\..\\x", "a\\b\x01\t\x7f", ".._.._x_a_b___"},
      {"shop.example", "\xC9\xCC-1.2_3", "shop.example_\xC9\xCC-1.2_3"},
  };
  for (const Case& c : cases) {
    CTask task;
    task.SetSiteDomain(c.domain);
    task.SetProductID(c.id);
    EXPECT_EQ(ProductFileKey(task), c.key);
  }
}

// Two threads write and read the same task; every value read is one that was
// written whole (no torn strings, no crash under the sanitizers).
TEST(TaskModel, ConcurrentSettersAndGettersOnOneTask) {
  CTask task;
  const std::string a(200, 'a');
  const std::string b(3, 'b');
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) {
      task.SetProductName(i % 2 ? a : b);
      task.SetCurrentPrice(i % 2 ? b : a);
      task.SetCurrentStock(i % 3 - 1);
    }
    stop = true;
  });
  std::thread reader([&] {
    while (!stop) {
      std::string name = task.GetProductName();
      std::string price = task.GetCurrentPrice();
      std::string xml = task.ToXml();
      if (!name.empty() && name != a && name != b) ++torn;
      if (!price.empty() && price != a && price != b) ++torn;
      int stock = task.GetCurrentStock();
      if (stock < -1 || stock > 1) ++torn;
      if (xml.find("</Task>") == std::string::npos) ++torn;
    }
  });
  writer.join();
  reader.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace
