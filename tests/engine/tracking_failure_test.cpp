// Passes that get no usable observation: counted with the task, saved, shown
// and told once per streak; a good pass clears them.
#include <string>

#include "base/timetext.h"
#include "engine/spider.h"
#include "support/http_server.h"
#include "support/spider_timeouts.h"
#include "tracking_fixture.h"

namespace {

class TrackingFailureTest : public TrackingFixture {
 protected:
  ShortSpiderTimeouts m_timeouts{SpiderTimeouts{2000, 1}};
};

TEST_F(TrackingFailureTest, EachKindOfFailureHasItsReason) {
  RawHttpServer raw;
  raw.Silent("/hang");
  std::string refused;
  {
    RawHttpServer gone;
    refused = gone.Url("/item.html");
  }
  shop.Reply("/busy.html", MakeReply(ProductPage("89.00"), "text/html", 503));
  shop.Page("/short.html", "<html>sold out</html>");
  shop.Page("/noprice.html", ProductPage("n/a"));

  struct Case {
    std::string link;
    const char* siteName;
    const char* reason;  // UTF-8
  };
  const Case cases[] = {
      {raw.Url("/hang"), "Fake", "连接超时"},
      {refused, "Fake", "连接失败"},
      {shop.Link("/busy.html"), "Fake", "HTTP 503"},
      {shop.Link("/short.html"), "Fake", "页面过短"},
      {shop.Link("/noprice.html"), "Fake", "未找到价格"},
      {shop.Link("/item/1.html"), "Gone", "没有此网站的规则"},
  };
  auto tracker = MakeTracker();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    CTaskValues v = Values();
    v.url = c.link;
    v.siteName = c.siteName;
    v.siteDomain = "gone.example";
    TaskPtr task = AddTask(v);
    events.Clear();

    tracker->TrackingPass(task);

    EXPECT_EQ(task->GetFailCount(), 1);
    EXPECT_EQ(LocalToUtf8(task->GetFailReason()), c.reason);
    EXPECT_EQ(task->GetFailTime(), FormatTimeText(1700000000));
    // The stored values stay as they were.
    EXPECT_EQ(task->GetCurrentPrice(), "99.00");
    EXPECT_EQ(task->GetCurrentStock(), 1);
    EXPECT_EQ(events.Count("FetchFailed"), 1u);
    EXPECT_EQ(events.Count("UpdateData"), 1u);
    EXPECT_EQ(events.Count("UpdateChangeData"), 0u);
    tracker->FlushTaskFile();
    const std::string saved = home.Read("tasks.xml");
    EXPECT_NE(saved.find("<FailCount>1</FailCount><FailTime>" + FormatTimeText(1700000000) +
                         "</FailTime><FailReason>" + std::string(c.reason) + "</FailReason>"),
              std::string::npos);
  }
}

TEST_F(TrackingFailureTest, AStreakIsToldOnceAndAGoodPassClearsIt) {
  shop.Reply("/item/1.html", MakeReply("", "text/html", 503));
  TaskPtr task = AddTask(Values());
  std::vector<ToldMessage> told;
  auto tracker = MakeTracker();
  tracker->SetTeller([&told](const ToldMessage& message) { told.push_back(message); });

  for (int pass = 1; pass <= 4; ++pass) tracker->TrackingPass(task);

  EXPECT_EQ(task->GetFailCount(), 4);
  const std::string alert = "Kettle连续3次抓取失败";
  ASSERT_EQ(events.Count("FetchFailed"), 4u);
  EXPECT_EQ(events.Named("FetchFailed")[1].text, "");
  EXPECT_EQ(LocalToUtf8(events.Named("FetchFailed")[2].text), alert);
  EXPECT_EQ(events.Named("FetchFailed")[3].text, "");
  ASSERT_EQ(events.Count("Popup"), 1u);
  EXPECT_EQ(LocalToUtf8(events.Named("Popup")[0].text), alert);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].kind, "failure");
  EXPECT_EQ(HistoryPoints(*task), -1);

  // The same page served well: the streak ends, and the file forgets it.
  shop.Page("/item/1.html", ProductPage("99.00"));
  tracker->TrackingPass(task);
  EXPECT_EQ(task->GetFailCount(), 0);
  EXPECT_EQ(task->GetFailReason(), "");
  tracker->FlushTaskFile();
  EXPECT_EQ(home.Read("tasks.xml").find("Fail"), std::string::npos);
  EXPECT_EQ(events.Count("Popup"), 1u);
}

TEST_F(TrackingFailureTest, ASoldOutPageWithoutAPriceIsAGoodPass) {
  shop.Page("/item/1.html", ProductPage("n/a", "0", "sold out"));
  TaskPtr task = AddTask(Values());
  task->AddFailure("2023-01-01 00:00:00", "HTTP 503");
  auto tracker = MakeTracker();
  for (int pass = 1; pass <= 3; ++pass) tracker->TrackingPass(task);
  EXPECT_EQ(task->GetFailCount(), 0);
  EXPECT_EQ(events.Count("FetchFailed"), 0u);
  EXPECT_EQ(task->GetCurrentPrice(), "99.00");
  EXPECT_EQ(task->GetCurrentStock(), 0);
  // The stock change is told once, as any stock change.
  ASSERT_EQ(events.Count("Popup"), 1u);
  EXPECT_EQ(LocalToUtf8(events.Named("Popup")[0].text), "Kettle库存变为缺货");
}

TEST_F(TrackingFailureTest, FailAlertZeroNeverTellsAndMsgPopKeepsThePopup) {
  shop.Reply("/item/1.html", MakeReply("", "text/html", 404));
  TaskPtr quiet = AddTask(Values());
  auto tracker = MakeTracker({0, 0, 0});
  for (int pass = 1; pass <= 5; ++pass) tracker->TrackingPass(quiet);
  EXPECT_EQ(quiet->GetFailCount(), 5);
  for (const RecordedEvent& event : events.Named("FetchFailed")) EXPECT_EQ(event.text, "");

  events.Clear();
  tasks.RemoveAll();
  TaskPtr noPopup = AddTask(Values());
  auto second = MakeTracker({0, 1, 1});
  second->TrackingPass(noPopup);
  ASSERT_EQ(events.Count("FetchFailed"), 1u);
  EXPECT_EQ(LocalToUtf8(events.Named("FetchFailed")[0].text), "Kettle连续1次抓取失败");
  EXPECT_EQ(events.Count("Popup"), 0u);
}

// Nine step requests that each trickle just under their own limit took nine
// FetchTimeouts; the pass as a whole now ends at one, failed as a time-out.
TEST_F(TrackingFailureTest, APassEndsAtOneFetchTimeoutWhateverItsSteps) {
  ShortSpiderTimeouts whole{SpiderTimeouts{2000, 60, 2}};
  RawHttpServer raw;
  CSite site = ShopSite("Steps", shop.Host(), "");
  site.SetPriceRegex("p=([0-9.]+)");
  void (CSite::*const steps[])(const std::string&) = {
      &CSite::SetParam1Url, &CSite::SetParam2Url, &CSite::SetParam3Url,
      &CSite::SetParam4Url, &CSite::SetParam5Url, &CSite::SetParam6Url,
      &CSite::SetParam7Url, &CSite::SetPriceUrl,  &CSite::SetStockUrl};
  for (size_t i = 0; i < std::size(steps); ++i) {
    const std::string path = "/step" + std::to_string(i);
    raw.Trickle(path, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\np=");
    (site.*steps[i])(raw.Url(path));
  }
  sites.AddSite(std::make_shared<CSite>(site));
  shop.Page("/item/1.html", ProductPage("89.00"));
  CTaskValues v = Values();
  v.siteName = "Steps";
  TaskPtr task = AddTask(v);

  MakeTracker()->TrackingPass(task);

  EXPECT_EQ(LocalToUtf8(task->GetFailReason()), "连接超时");
  EXPECT_EQ(task->GetCurrentPrice(), "99.00");
  int sent = 0;
  for (size_t i = 0; i < std::size(steps); ++i) sent += raw.Requests("/step" + std::to_string(i));
  EXPECT_LE(sent, 2);
}

}  // namespace
