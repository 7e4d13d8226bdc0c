#include "base/hosts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/tempdir.h"

namespace {

TEST(Hosts, DefaultsUntilConfigIniSaysOtherwise) {
  TempDir home(true);
  EXPECT_EQ(HostValue(kHostNewegg), "www.newegg.com.cn");
  EXPECT_EQ(HostValue(kHostHistory), "http://127.0.0.1:8765/price_history.php?url=");
  home.Write("config.ini", "[Hosts]\r\nNeweggDomain=shop.example\r\nHistoryUrl=\r\n");
  EXPECT_EQ(HostValue(kHostNewegg), "shop.example");
  EXPECT_EQ(HostValue(kHostHistory), "");  // an empty address switches the service off
}

TEST(Hosts, KeysAreUnique) {
  std::set<std::string> keys;
  for (int id = 0; id < kHostCount; ++id) EXPECT_TRUE(keys.insert(HostKey(HostId(id))).second);
}

}  // namespace

namespace {

TEST(Hosts, AChangedConfigIniIsReadAgain) {
  TempDir home(true);
  home.Write("config.ini", "[Hosts]\r\nNeweggDomain=a.example\r\n");
  EXPECT_EQ(HostValue(kHostNewegg), "a.example");
  home.Write("config.ini", "[Hosts]\r\nNeweggDomain=b.example\r\n");  // same size, same instant
  EXPECT_EQ(HostValue(kHostNewegg), "b.example");
  TempDir other(true);
  EXPECT_EQ(HostValue(kHostNewegg), "www.newegg.com.cn");
}

}  // namespace
