#include <gtest/gtest.h>

#include <string>

#include "base/codepage.h"
#include "services/history.h"
#include "support/tempdir.h"

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n";

TEST(HistoryCache, EmptyHistoryFileIsTheFrameWithEmptySummary) {
  TempDir dir;
  CPriceInfo history;
  ASSERT_TRUE(history.SaveCache(dir.File("h.xml")));
  EXPECT_EQ(dir.Read("h.xml"), std::string(kDeclaration) +
                                   "<HPrices><LPDate></LPDate><LowestPrice></LowestPrice>"
                                   "<HPDate></HPDate><HighestPrice></HighestPrice>"
                                   "<HPriceList></HPriceList></HPrices>");
}

TEST(HistoryCache, FileRoundTripKeepsEveryByte) {
  TempDir dir;
  // Written by hand in the file's form: points newest first, a date with
  // Chinese text and a price with markup characters.
  const std::string file =
      std::string(kDeclaration) +
      "<HPrices><LPDate>2013-01-01 10:00:00</LPDate><LowestPrice>8.00"
      "</LowestPrice><HPDate>2013-01-03 10:00:00</HPDate><HighestPrice>"
      "30.00</HighestPrice><HPriceList>"
      "<HPrice><Date>2013-01-03 10:00:00 周四</Date><Price>30.00</Price></HPrice>"
      "<HPrice><Date>2013-01-02 10:00:00</Date><Price>&lt;9&amp;1&gt;</Price>"
      "</HPrice>"
      "<HPrice><Date>2013-01-01 10:00:00</Date><Price>8.00</Price></HPrice>"
      "</HPriceList></HPrices>";
  dir.Write("h.xml", file);
  CPriceInfo history;
  ASSERT_TRUE(history.LoadCache(dir.File("h.xml")));
  ASSERT_EQ(history.GetItemCount(), 3u);
  EXPECT_EQ(history.Items()[0].date, Utf8ToLocal("2013-01-03 10:00:00 周四"));
  EXPECT_EQ(history.Items()[1].price, "<9&1>");
  EXPECT_EQ(history.GetLowestPrice(), "8.00");
  EXPECT_EQ(history.GetHighestDate(), "2013-01-03 10:00:00");
  ASSERT_TRUE(history.SaveCache(dir.File("again.xml")));
  EXPECT_EQ(dir.Read("again.xml"), file);
}

TEST(HistoryCache, LoadingSortsPointsButTakesTheSummaryAsWritten) {
  TempDir dir;
  dir.Write("h.xml", std::string(kDeclaration) +
                         "<HPrices><LowestPrice>1.00</LowestPrice><HighestPrice>2.00</HighestPrice>"
                         "<HPriceList>"
                         "<HPrice><Date>2013-01-01 10:00:00</Date><Price>5</Price></HPrice>"
                         "<HPrice><Price>7</Price></HPrice>"
                         "<HPrice><Date>2013-01-03 10:00:00</Date><Price>6</Price></HPrice>"
                         "</HPriceList></HPrices>");
  CPriceInfo history;
  ASSERT_TRUE(history.LoadCache(dir.File("h.xml")));
  EXPECT_EQ(history.GetLowestPrice(), "1.00");
  EXPECT_EQ(history.GetLowestDate(), "");  // missing elements stay empty
  EXPECT_EQ(history.GetHighestPrice(), "2.00");
  auto items = history.Items();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].price, "6");
  EXPECT_EQ(items[1].price, "5");
  EXPECT_EQ(items[2].date, "");  // a point without a date sorts as the oldest
}

TEST(HistoryCache, SummaryValuesWithMarkupStayReadable) {
  // Written as they are, a "<" in a summary value would break the whole file.
  TempDir dir;
  CPriceInfo history;
  ASSERT_TRUE(history.AddCurrentPrice("1<2"));
  ASSERT_TRUE(history.SaveCache(dir.File("h.xml")));
  CPriceInfo again;
  ASSERT_TRUE(again.LoadCache(dir.File("h.xml")));
  EXPECT_EQ(again.GetLowestPrice(), "1<2");
  EXPECT_EQ(again.Items().at(0).price, "1<2");
}

TEST(HistoryCache, UnreadableFilesAreRefused) {
  TempDir dir;
  CPriceInfo history;
  EXPECT_FALSE(history.LoadCache(dir.File("missing.xml")));
  dir.Write("bad.xml", std::string(kDeclaration) + "<HPrices><HPriceList>");
  EXPECT_FALSE(history.LoadCache(dir.File("bad.xml")));
  EXPECT_EQ(history.GetItemCount(), 0u);
  EXPECT_FALSE(history.SaveCache(dir.File("no/folder/h.xml")));
}

}  // namespace
