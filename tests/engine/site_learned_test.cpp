// Learned shop records in sites.xml: marked, kept through refreshes of the
// rules unless the rules cover their shop, stored and forgotten one at a time.
#include "engine/sitelearned.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace {

SiteRef Shop(const std::string& name, const std::string& domain, bool learned) {
  auto site = std::make_shared<CSite>();
  site->SetName(name);
  site->SetDomain(domain);
  if (learned) site->SetLearned("2024-05-01 10:00:00");
  return site;
}

std::vector<std::string> Names(const CSiteList& sites) {
  std::vector<std::string> names;
  for (const SiteRef& site : sites.Snapshot()) names.push_back(site->GetName());
  return names;
}

TEST(SiteLearned, TheLearnedElementIsWrittenOnlyWhenSetAfterTheLastElement) {
  TempDir home;
  CSiteList sites;
  sites.AddSite(Shop("ruled", "ruled.example", false));
  sites.AddSite(Shop("learned", "learned.example", true));
  ASSERT_TRUE(sites.SaveSites(home.File("sites.xml")));
  const std::string xml = home.Read("sites.xml");
  EXPECT_EQ(xml.find("<Learned>"), xml.rfind("<Learned>"));
  EXPECT_NE(xml.find("</PriceImgType><Learned>2024-05-01 10:00:00</Learned></Site>"),
            std::string::npos);
  CSiteList loaded;
  ASSERT_TRUE(loaded.LoadSites(home.File("sites.xml")));
  EXPECT_FALSE(loaded.FindSiteByName("ruled")->IsLearned());
  EXPECT_EQ(loaded.FindSiteByName("learned")->GetLearned(), "2024-05-01 10:00:00");
}

TEST(SiteLearned, ARefreshKeepsLearnedShopsUnlessTheRulesCoverThem) {
  TempDir home;
  CSiteList before;
  for (const char* domain : {"a.example", "www.b.example", "c.example"})
    before.AddSite(Shop(std::string("learned ") + domain, domain, true));
  ASSERT_TRUE(before.SaveSites(home.File("sites.xml")));
  // The rules as a start-up refresh fetched them: a shop of b.example and
  // one of c.example.
  CSiteList refreshed;
  refreshed.AddSite(Shop("rules b", "b.example", false));
  refreshed.AddSite(Shop("rules c", "c.example", false));
  KeepLearnedSites(refreshed, home.File("sites.xml"));
  EXPECT_EQ(Names(refreshed),
            (std::vector<std::string>{"rules b", "rules c", "learned a.example"}));
  // The updater's merge onto the old list: the learned c.example gave way
  // to the rules already; the learned www.b.example gives way now.
  before.AddSite(Shop("rules c", "c.example", false));
  before.AddSite(Shop("rules b", "b.example", false));
  KeepLearnedSites(before, home.File("sites.xml"));
  EXPECT_EQ(Names(before), (std::vector<std::string>{"learned a.example", "rules c", "rules b"}));
}

TEST(SiteLearned, StoringAndForgettingKeepWhatAnotherProcessWrote) {
  TempDir home;
  const std::string path = home.File("sites.xml");
  CSiteList window;
  ASSERT_TRUE(StoreLearnedSite(window, Shop("mine", "mine.example", true), path));
  // Another process learns a shop meanwhile.
  CSiteList other;
  ASSERT_TRUE(StoreLearnedSite(other, Shop("theirs", "theirs.example", true), path));
  ASSERT_TRUE(ForgetLearnedSite(window, "mine", path));
  EXPECT_FALSE(ForgetLearnedSite(window, "mine", path));
  CSiteList saved;
  ASSERT_TRUE(saved.LoadSites(path));
  EXPECT_EQ(Names(saved), std::vector<std::string>{"theirs"});
  EXPECT_TRUE(Names(window).empty());
}

}  // namespace
