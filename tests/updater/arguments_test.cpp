#include "updater/arguments.h"

#include <clocale>

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/stringtable.h"

namespace {

TEST(UpdaterStart, ChecksRunInTheirOrder) {
  const std::vector<std::string> good = {"Vantrel", "1.069", "12", "http://h:8765/u/update.ini"};
  struct Case {
    bool online;
    std::vector<std::string> arguments;
    unsigned expected;
  } cases[] = {
      {false, {}, IDS_NO_NETWORK},
      {false, good, IDS_NO_NETWORK},
      {true, {}, IDS_UPD_BAD_ARGUMENTS},
      {true, {"Vantrel", "1.069", "https://h/update.ini"}, IDS_UPD_BAD_ARGUMENTS},
      {true, {"Vantrel", "1.069", "12", "https://h/update.ini"}, IDS_UPD_URL_NOT_HTTP},
      {true, {"Vantrel", "1.069", "12", "ftp://h/update.ini"}, IDS_UPD_URL_NOT_HTTP},
      {true, {"Vantrel", "1.069", "12", "update.ini"}, IDS_UPD_URL_NOT_HTTP},
      {true, {"Vantrel", "1.069", "12", "http://"}, IDS_UPD_URL_NOT_HTTP},
      {true, {"Vantrel", "1.069", "12", "http://:80/update.ini"}, IDS_UPD_URL_NOT_HTTP},
      {true, {"Vantrel", "1.069", "12", "http://h:0/update.ini"}, IDS_UPD_URL_NOT_HTTP},
      {true, {"Vantrel", "1.069", "12", "http://h:70000/update.ini"}, IDS_UPD_URL_NOT_HTTP},
      {true, {"Vantrel", "1.069", "12", "http://h:8x/update.ini"}, IDS_UPD_URL_NOT_HTTP},
      {true, {"Vantrel", "1.069", "12", "http://user@h/update.ini"}, IDS_UPD_URL_NOT_HTTP},
      {true, good, 0},
      {true, {"Vantrel", "1.069", "12", "HTTP://h/update.ini", "extra"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.empty() ? std::string("(none)") : c.arguments.back());
    UpdaterArguments parsed;
    EXPECT_EQ(CheckStart(c.arguments, c.online, parsed), c.expected);
  }
  UpdaterArguments parsed;
  ASSERT_EQ(CheckStart(good, true, parsed), 0u);
  EXPECT_EQ(parsed.programName, "Vantrel");
  EXPECT_EQ(parsed.version, "1.069");
  EXPECT_EQ(parsed.siteVersion, "12");
  EXPECT_EQ(parsed.infoUrl, good[3]);
}

TEST(UpdaterStart, MessagesAreTheUpdatersTexts) {
  EXPECT_EQ(LoadStringUtf8(IDS_NO_NETWORK), "网络不通，程序退出！");
  EXPECT_EQ(LoadStringUtf8(IDS_UPD_BAD_ARGUMENTS), "参数错误！");
  EXPECT_EQ(LoadStringUtf8(IDS_UPD_URL_NOT_HTTP), "版本文件URL应以http://开头！");
  // The numbered texts of the dialog: another table entry with the same
  // number would replace one of these.
  const std::pair<unsigned, const char*> numbered[] = {
      {2, "取消(&C)"},
      {1001, "立即启动洛纳万特尔(&O)"},
      {1012, "点击下一步查看可用的更新"},
      {1013, "正在获取更新信息..."},
      {1014, "正在检查主程序是否有新版本..."},
      {1015, "发现新版本，正在升级中..."},
      {1016, "升级完成！"},
      {1017, "没有发现新版本，当前已经是最新版本！"},
      {1018, "获取更新信息失败！"},
      {1019, "万特尔升级程序"},
      {1020, "已在运行！请先关闭程序才能进行更新！如果选择确定将强行关闭程序！"},
      {1021, "正在下载文件"},
      {1022, "下载失败！"},
      {1023, "下载完成！"},
      {1024, "关闭(&C)"},
      {1025, "正在检查网站设置文件是否有新版本..."},
  };
  for (const auto& [id, text] : numbered) {
    EXPECT_EQ(LoadStringUtf8(id), text) << id;
    EXPECT_EQ(LoadString(id), Utf8ToLocal(text)) << id;
  }
}

TEST(UpdaterStart, UpdateFolderFiles) {
  EXPECT_EQ(UpdateFolderFile("http://h/u/update.ini", "imgs/Del.png"), "http://h/u/imgs/Del.png");
  EXPECT_EQ(UpdateFolderFile("http://h:81/update.ini", "sites.xml"), "http://h:81/sites.xml");
  // Only the file part is replaced, even when a folder has the same name.
  EXPECT_EQ(UpdateFolderFile("http://h/update.ini/update.ini", "x"), "http://h/update.ini/x");
  EXPECT_EQ(UpdateFolderFile("http://h/version.txt", "x"), "http://h/version.txt");
}

TEST(UpdaterStart, VersionsReadAsDecimalNumbers) {
  const std::pair<const char*, double> cases[] = {
      {"1.069", 1.069}, {"1.1", 1.1},     {"1.10", 1.1}, {" 2", 2},  {"+3.5x", 3.5}, {"-1", -1},
      {".5", 0.5},      {"99999", 99999}, {"", 0},       {"abc", 0}, {"1e2", 100},
  };
  for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(DecimalValue(text), value) << text;
  EXPECT_LT(DecimalValue("1.069"), DecimalValue("1.1"));
  // A locale whose decimal mark is a comma must not turn "1.069" into 1.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
    EXPECT_DOUBLE_EQ(DecimalValue("1.069"), 1.069);
    std::setlocale(LC_NUMERIC, "C");
  }
}

}  // namespace
