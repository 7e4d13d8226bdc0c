#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/site.h"
#include "engine/spider.h"

namespace {

std::shared_ptr<CSite> Site(const std::string& name, const std::string& domain,
                            const std::string& flag = "") {
  auto site = std::make_shared<CSite>();
  site->SetName(name);
  site->SetDomain(domain);
  site->SetFlag(flag);
  return site;
}

std::string Names(const CSiteList& list) {
  std::string names;
  for (const SiteRef& site : list.Snapshot()) names += site->GetName() + " ";
  return names;
}

TEST(CSite, FieldsGettersAndCopy) {
  CSite site;
  EXPECT_EQ(site.GetName(), "");
  EXPECT_EQ(site.GetNoGoods(), "");
  site.SetParam3Regex("p3");
  site.SetParam7Url("u7");
  site.SetPriceImgColors("ff0000");
  EXPECT_EQ(site.GetParamRegex(3), "p3");
  EXPECT_EQ(site.GetParamUrl(7), "u7");
  EXPECT_EQ(site.GetParamUrl(0), "");
  EXPECT_EQ(site.GetParamUrl(8), "");
  EXPECT_EQ(site.Field(SiteField::PriceImgColors), "ff0000");
  EXPECT_STREQ(SiteFieldName(SiteField::PromPriceRegex), "PromPriceRegex");
  EXPECT_STREQ(SiteFieldName(SiteField::NoGoods), "NoGoods");

  CSite copy;
  copy.SetName("old");
  copy.CopyFrom(site);
  EXPECT_EQ(copy.GetName(), "");
  EXPECT_EQ(copy.GetParamRegex(3), "p3");
  copy.CopyFrom(copy);
  EXPECT_EQ(copy.GetParamUrl(7), "u7");
}

TEST(CSiteList, AddSiteReplacementRule) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> adds;  // name, domain
    const char* names;
    std::vector<bool> appended;
  };
  const Case cases[] = {
      {"repeated domain keeps the last at the place of the first",
       {{"A1", "a.com"}, {"B", "b.com"}, {"A2", "a.com"}},
       "A2 B ",
       {true, true, false}},
      {"a longer domain containing an earlier one replaces it",
       {{"A", "a.com"}, {"SubA", "m.a.com"}},
       "SubA ",
       {true, false}},
      {"the reverse order keeps both",
       {{"SubA", "m.a.com"}, {"A", "a.com"}},
       "SubA A ",
       {true, true}},
      {"an empty domain is replaced by whatever comes next",
       {{"E", ""}, {"X", "x.com"}},
       "X ",
       {true, false}},
      {"only the first matching record is replaced",
       {{"A", "a.com"}, {"C", "c.com"}, {"AC", "a.com|c.com"}},
       "AC C ",
       {true, true, false}},
      {"the search is case-sensitive", {{"A", "A.com"}, {"a", "a.com"}}, "A a ", {true, true}},
  };
  for (const Case& c : cases) {
    CSiteList list;
    for (size_t i = 0; i < c.adds.size(); ++i)
      EXPECT_EQ(list.AddSite(Site(c.adds[i].first, c.adds[i].second)), c.appended[i]) << c.what;
    EXPECT_EQ(Names(list), c.names) << c.what;
  }
}

TEST(CSiteList, ReplaceSiteAt) {
  CSiteList list;
  list.AddSite(Site("A", "a.com"));
  list.AddSite(Site("B", "b.com"));
  EXPECT_TRUE(list.ReplaceSiteAt(1, Site("C", "c.com")));
  EXPECT_EQ(Names(list), "A C ");
  EXPECT_FALSE(list.ReplaceSiteAt(2, Site("D", "d.com")));
  EXPECT_FALSE(list.ReplaceSiteAt(0, nullptr));
  EXPECT_EQ(Names(list), "A C ");
  EXPECT_FALSE(list.AddSite(nullptr));
  EXPECT_EQ(list.GetCount(), 2u);
}

TEST(CSiteList, LookUps) {
  // "价格" in GBK: its trail byte 0xDB is no letter, and 0xB8 0xF1 neither; the
  // second name holds a trail byte that reads as "Z" in ASCII.
  const std::string gbkZ = "\xB0\x5A";
  const std::string gbkLowerZ = "\xB0\x7A";
  CSiteList list;
  list.AddSite(Site("ABC", "www.abc.com"));
  list.AddSite(Site("NoFlag", "n.com"));
  list.AddSite(Site("Shop" + gbkZ, "z.com", "shop-flag"));
  list.AddSite(Site("Other", "o.com", "flag"));
  list.AddSite(Site("Lower" + gbkLowerZ, "l.com"));

  ASSERT_TRUE(list.FindSiteByName("abc"));
  EXPECT_EQ(list.FindSiteByName("abc")->GetName(), "ABC");
  EXPECT_FALSE(list.FindSiteByName("ab"));
  EXPECT_EQ(list.FindSiteByName("SHOP" + gbkZ)->GetName(), "Shop" + gbkZ);
  // A trail byte is not a letter: the other character does not match.
  EXPECT_FALSE(list.FindSiteByName("shop" + gbkLowerZ));
  EXPECT_EQ(list.FindSiteByDomain("WWW.ABC.COM")->GetName(), "ABC");
  EXPECT_FALSE(list.FindSiteByDomain("abc.com"));

  // Empty flags never match; with two matching flags the earlier record wins.
  EXPECT_EQ(list.FindSiteInPage("<html>shop-flag and flag</html>")->GetName(), "Shop" + gbkZ);
  EXPECT_EQ(list.FindSiteInPage("<html>only flag</html>")->GetName(), "Other");
  EXPECT_FALSE(list.FindSiteInPage("<html>FLAG</html>"));
  EXPECT_FALSE(list.FindSiteInPage(""));
}

TEST(CSiteList, FoundRecordOutlivesItsReplacement) {
  CSiteList list;
  list.AddSite(Site("Old", "a.com"));
  SiteRef found = list.FindSiteByDomain("a.com");
  list.AddSite(Site("New", "a.com"));
  EXPECT_EQ(found->GetName(), "Old");
  EXPECT_EQ(list.FindSiteByDomain("a.com")->GetName(), "New");
}

TEST(CSiteList, ConcurrentAddsAndLookUps) {
  CSiteList list;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&list, t] {
      for (int i = 0; i < 200; ++i) {
        list.AddSite(Site("S", "host" + std::to_string(t) + "-" + std::to_string(i) + ".com"));
        list.FindSiteByName("s");
        list.FindSiteInPage("page");
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(list.GetCount(), 800u);
}

TEST(SitePatterns, CompiledOncePerRecordAndAgainWhenTheRuleChanges) {
  CSite site;
  site.SetPriceRegex("a(b)");
  const auto first = site.Pattern(SiteField::PriceRegex);
  EXPECT_EQ(site.Pattern(SiteField::PriceRegex), first);
  site.SetPriceRegex("c(d)");
  const auto second = site.Pattern(SiteField::PriceRegex);
  EXPECT_NE(second, first);
  EXPECT_EQ(PatternGroup1("xcdx", *second), "d");
  CSite copy(site);
  EXPECT_NE(copy.Pattern(SiteField::PriceRegex), second);
}

}  // namespace
