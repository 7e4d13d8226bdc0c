// One history file, several writers: the window and vantrelctl tracking one
// product, a second link of a product already tracked, a deleted task.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/files.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "engine/task.h"
#include "services/history.h"
#include "services/historyfile.h"
#include "services/productcache.h"
#include "support/tempdir.h"

namespace {

class HistorySharing : public testing::Test {
 protected:
  HistorySharing() {
    MakeDirectories(home.File("productprices"));
    IniWriteString(ProgramFile("config.ini"), "Hosts", "HistoryUrl", "");
  }
  ~HistorySharing() override { SetClockForTesting({}); }
  void At(std::time_t when) {
    SetClockForTesting([when] { return when; });
  }
  static std::vector<std::string> Prices(const CPriceInfo& history) {
    std::vector<std::string> prices;
    for (const CPriceInfoItem& item : history.Items()) prices.push_back(item.price);
    return prices;
  }
  std::unique_ptr<CPriceInfo> FileHistory() {
    auto file = std::make_unique<CPriceInfo>();
    EXPECT_TRUE(file->LoadCache(path));
    return file;
  }

  TempDir home{true};
  const std::string path = home.File("productprices/shop_1001.xml");
};

TEST_F(HistorySharing, WritersOfOneFileLoseNoPoint) {
  CPriceInfo seed;
  seed.AddItem({"2023-01-01 00:00:00", "99.00"});
  ASSERT_TRUE(SaveHistoryFile(seed, path).ok);
  CPriceInfo window, tracker;
  ASSERT_TRUE(window.LoadCache(path));
  ASSERT_TRUE(tracker.LoadCache(path));
  const struct {
    CPriceInfo* writer;
    std::time_t when;
    const char* price;
  } points[] = {{&window, 1700000000, "89.00"},
                {&tracker, 1700000060, "79.00"},
                {&window, 1700000120, "109.00"}};
  for (const auto& point : points) {
    At(point.when);
    ASSERT_TRUE(point.writer->AddCurrentPrice(point.price));
    ASSERT_TRUE(SaveHistoryFile(*point.writer, path).ok);
  }
  const auto file = FileHistory();
  EXPECT_EQ(Prices(*file), (std::vector<std::string>{"109.00", "79.00", "89.00", "99.00"}));
  EXPECT_EQ(file->GetLowestPrice(), "79.00");
  EXPECT_EQ(file->GetHighestPrice(), "109.00");
}

TEST_F(HistorySharing, ASecondLinkOfAProductKeepsTheHistoryOfTheFirst) {
  CPriceInfo first;
  for (const char* date : {"2024-01-01 00:00:00", "2024-02-01 00:00:00", "2024-03-01 00:00:00"})
    first.AddItem({date, "99.00"});
  ASSERT_TRUE(SaveHistoryFile(first, path).ok);
  CTaskValues v;
  v.url = "http://shop.example/1001.html?from=share";
  v.currentPrice = "89.00";
  At(1720000000);
  const auto second = FetchHistoryFile(CTask(v), path);
  EXPECT_EQ(second->GetItemCount(), 4u);
  EXPECT_EQ(FileHistory()->GetItemCount(), 4u);
}

TEST_F(HistorySharing, AFileDeletedWithItsTaskStaysDeleted) {
  CPriceInfo history;
  history.AddItem({"2024-01-01 00:00:00", "99.00"});
  ASSERT_TRUE(SaveHistoryFile(history, path).ok);
  DeleteFile(path);
  ASSERT_TRUE(history.AddCurrentPrice("89.00"));
  EXPECT_TRUE(SaveHistoryFile(history, path).ok);
  EXPECT_FALSE(FileExists(path));
}

}  // namespace
