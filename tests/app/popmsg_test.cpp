#include "app/popmsgdlg.h"
#include "app/windowjobs.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include "base/codepage.h"
#include "base/openlink.h"
#include "support/qt_application.h"
#include "support/tempdir.h"

namespace {

using Phase = CPopMsgFade::Phase;

class PopFadeTest : public ::testing::Test {
 protected:
  CPopMsgFade MakeFade() {
    return CPopMsgFade([this] { return now; }, [this] { return autoClose; });
  }
  // Ticks as the 100 ms timer would, moving the clock along.
  void Run(CPopMsgFade& fade, int ticks) {
    for (int i = 0; i < ticks; ++i) {
      now += CPopMsgFade::kTickMs;
      fade.Tick();
    }
  }
  std::int64_t now = 1000;
  int autoClose = 0;
};

TEST_F(PopFadeTest, FadesInStaysFiveSecondsAndFadesOut) {
  CPopMsgFade fade = MakeFade();
  EXPECT_EQ(fade.Alpha(), 0);
  std::vector<int> alphas;
  for (int i = 0; i < 3; ++i) {
    Run(fade, 1);
    alphas.push_back(fade.Alpha());
  }
  EXPECT_EQ(alphas, (std::vector<int>{85, 170, 255}));
  EXPECT_EQ(fade.GetPhase(), Phase::kVisible);

  // 4.9 s after full visibility it still shows; at 5 s it starts to fade.
  Run(fade, 49);
  EXPECT_EQ(fade.GetPhase(), Phase::kVisible);
  EXPECT_EQ(fade.Alpha(), 255);
  Run(fade, 1);
  EXPECT_EQ(fade.GetPhase(), Phase::kFadingOut);
  alphas.clear();
  for (int i = 0; i < 3; ++i) {
    Run(fade, 1);
    alphas.push_back(fade.Alpha());
  }
  EXPECT_EQ(alphas, (std::vector<int>{170, 85, 0}));
  EXPECT_EQ(fade.GetPhase(), Phase::kClosed);
}

TEST_F(PopFadeTest, ManualCloseKeepsThePopUpAndIsReadAtTheEndOfThePeriod) {
  CPopMsgFade fade = MakeFade();
  Run(fade, 1);
  autoClose = 1;  // chosen in the settings while the pop-up fades in
  Run(fade, 2 + 50 + 600);
  EXPECT_EQ(fade.GetPhase(), Phase::kHeld);
  EXPECT_EQ(fade.Alpha(), 255);

  // Switched back: a pop-up already held stays until the mouse passes.
  autoClose = 0;
  Run(fade, 100);
  EXPECT_EQ(fade.GetPhase(), Phase::kHeld);
  fade.MouseEnter();
  fade.MouseLeave();
  Run(fade, 50);
  EXPECT_EQ(fade.GetPhase(), Phase::kFadingOut);
}

TEST_F(PopFadeTest, HoverHoldsAndLeavingStartsANewFiveSeconds) {
  CPopMsgFade fade = MakeFade();
  Run(fade, 3 + 40);  // 4 s visible
  fade.MouseEnter();
  Run(fade, 300);  // 30 s under the mouse
  EXPECT_EQ(fade.GetPhase(), Phase::kVisible);
  fade.MouseLeave();
  Run(fade, 49);
  EXPECT_EQ(fade.GetPhase(), Phase::kVisible);
  Run(fade, 1);
  EXPECT_EQ(fade.GetPhase(), Phase::kFadingOut);

  // Caught while fading out: back to full and held.
  Run(fade, 1);
  EXPECT_EQ(fade.Alpha(), 170);
  fade.MouseEnter();
  EXPECT_EQ(fade.Alpha(), 255);
  EXPECT_EQ(fade.GetPhase(), Phase::kVisible);
  Run(fade, 100);
  EXPECT_EQ(fade.GetPhase(), Phase::kVisible);
}

TEST_F(PopFadeTest, HoverDuringFadeInStillHoldsOnceVisible) {
  CPopMsgFade fade = MakeFade();
  Run(fade, 1);
  fade.MouseEnter();
  Run(fade, 200);
  EXPECT_EQ(fade.GetPhase(), Phase::kVisible);
  EXPECT_EQ(fade.Alpha(), 255);
}

TEST(PopMsgSize, LinesAndHeightFollowTheText) {
  const struct {
    std::string text;
    int width;
    int lines;
  } cases[] = {
      {std::string(200, 'x'), 200, 1 + 7},
      {"short", 200, 1},
      {"a\nb\nc", 200, 3},
      {"line\n", 200, 2},
      {std::string(28, 'x'), 200, 1},  // 196 pixels fit
      {std::string(29, 'x'), 200, 2},  // 203 do not
      {std::string(10, 'x'), 0, 1},    // no width: no division
      {"", 200, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PopMsgTextLines(c.text, c.width), c.lines) << c.text.size() << " " << c.width;
  EXPECT_EQ(PopMsgWindowHeight(1, 2, 24, 24), 155);
  EXPECT_EQ(PopMsgWindowHeight(8, 2, 24, 24), 17 * 8 + 2 + 24 + 24 + 44);
}

class PopDialogTest : public ::testing::Test {
 protected:
  PopDialogTest() {
    SetLinkOpener([this](const std::string& url) { opened.push_back(url); });
  }
  ~PopDialogTest() override {
    CWindowJobs::Shared().WaitForAll();
    SetLinkOpener(nullptr);
  }
  CPopMsgContext Context() {
    CPopMsgContext context;
    context.clock = [this] { return now; };
    context.popMsgAutoClose = [this] { return autoClose; };
    context.startTimer = false;
    context.canBlend = [] { return true; };
    return context;
  }
  QApplication& app = TestApplication();
  TempDir home{true};
  std::int64_t now = 0;
  int autoClose = 0;
  std::vector<std::string> opened;
};

TEST_F(PopDialogTest, SitsAtTheCornerAndClosesAfterItsLife) {
  CPopMsgDlg popup("Phone price 179.00", "http://shop.test/1", Context());
  int finished = 0;
  QObject::connect(&popup, &CPopMsgDlg::finished, [&] { ++finished; });
  popup.show();
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(popup.geometry().bottomRight(), work.bottomRight());
  EXPECT_EQ(popup.height(), 155);
  EXPECT_EQ(popup.Text(), QStringLiteral("Phone price 179.00"));

  for (int i = 0; i < 3; ++i) {
    now += 100;
    popup.Tick();
  }
  EXPECT_DOUBLE_EQ(popup.windowOpacity(), 1.0);
  for (int i = 0; i < 50 + 3; ++i) {
    now += 100;
    popup.Tick();
  }
  EXPECT_EQ(finished, 1);
  EXPECT_FALSE(popup.isVisible());
}

TEST_F(PopDialogTest, LongTextMakesATallerWindowWithTheSameBottom) {
  CPopMsgDlg popup(std::string(600, 'x') + "\nend", "", Context());
  popup.show();
  EXPECT_GT(popup.height(), 155);
  EXPECT_EQ(popup.geometry().bottom(),
            QGuiApplication::primaryScreen()->availableGeometry().bottom());
}

TEST_F(PopDialogTest, GoToOpensTheLinkAndStaysOkCloses) {
  CPopMsgDlg popup("text", "http://shop.test/go", Context());
  int finished = 0;
  QObject::connect(&popup, &CPopMsgDlg::finished, [&] { ++finished; });
  popup.show();
  popup.ClickGoTo();
  ASSERT_EQ(opened, (std::vector<std::string>{"http://shop.test/go"}));
  EXPECT_TRUE(popup.isVisible());
  EXPECT_EQ(finished, 0);

  QPushButton* ok = nullptr;
  for (QPushButton* button : popup.findChildren<QPushButton*>())
    if (button->text() == QStringLiteral("确定")) ok = button;
  ASSERT_NE(ok, nullptr);
  ok->click();
  EXPECT_EQ(finished, 1);
  EXPECT_FALSE(popup.isVisible());
}

TEST_F(PopDialogTest, WithoutALinkGoToOpensNothing) {
  CPopMsgDlg popup("text", "", Context());
  popup.ClickGoTo();
  EXPECT_TRUE(opened.empty());
}

TEST_F(PopDialogTest, ShowPopMsgRewritesTheProductLinkAndDeletesItselfWhenClosed) {
  CPopMsgContext context = Context();
  QPointer<CPopMsgDlg> popup = ShowPopMsg("text", "http://shop.test/p/1.html", "", context);
  ASSERT_TRUE(popup);
  EXPECT_TRUE(popup->isVisible());
  // The link comes from a worker.
  ASSERT_TRUE(SpinUntil([&] { return !popup->LinkPending(); }));
  EXPECT_EQ(popup->Link().rfind("http://shop.test/p/1.html", 0), 0u) << popup->Link();
  popup->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(popup.isNull());
}

TEST_F(PopDialogTest, WithoutBlendingThePopUpIsThereAtOnceAndHiddenWhenItsTimeIsUp) {
  CPopMsgContext context = Context();
  context.canBlend = [] { return false; };
  CPopMsgDlg popup("text", "", context);
  popup.show();
  EXPECT_DOUBLE_EQ(popup.windowOpacity(), 1.0);
  for (int i = 0; i < 3 + 51; ++i) {
    now += 100;
    popup.Tick();
    EXPECT_DOUBLE_EQ(popup.windowOpacity(), 1.0) << i;
  }
  EXPECT_FALSE(popup.isVisible());
}

// Closes every pop-up on screen until none shows and none waits.
void CloseAllPopMsgs() {
  SpinUntil(
      [] {
        for (CPopMsgDlg* popup : ShownPopMsgs()) popup->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return ShownPopMsgs().empty() && WaitingPopMsgs() == 0 && PopMsgSummaryCount() == 0;
      },
      2000);
}

TEST_F(PopDialogTest, PopUpsAtOnceStandOneAboveTheOtherAndMoveDownWhenOneCloses) {
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  std::vector<QPointer<CPopMsgDlg>> popups;
  // More than fit: the last ones wait, as texts without a window.
  const int fit = work.height() / 155;
  for (int i = 0; i < fit + 2; ++i)
    popups.push_back(
        ShowPopMsg("change " + std::to_string(i), "http://shop.test/p", "", Context()));
  for (int i = 0; i < fit; ++i) {
    ASSERT_TRUE(popups[i] && popups[i]->isVisible()) << i;
    EXPECT_TRUE(work.contains(popups[i]->geometry())) << i;
    for (int j = 0; j < i; ++j)
      EXPECT_FALSE(popups[i]->geometry().intersects(popups[j]->geometry())) << i << " " << j;
  }
  EXPECT_TRUE(popups[fit].isNull());
  EXPECT_EQ(WaitingPopMsgs(), 2u);
  EXPECT_EQ(popups[0]->geometry().bottom(), work.bottom());

  // The bottom one closes: the second takes its place, a waiting one shows.
  const int secondTop = popups[1]->y();
  popups[0]->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(SpinUntil([&] { return WaitingPopMsgs() == 1; }));
  EXPECT_EQ(ShownPopMsgs().back()->Text(), QString("change %1").arg(fit));
  EXPECT_EQ(popups[1]->geometry().bottom(), work.bottom());
  EXPECT_GT(popups[1]->y(), secondTop);
  // A window that goes takes the changes still waiting with it.
  DropWaitingPopMsgs();
  EXPECT_EQ(WaitingPopMsgs(), 0u);
  CloseAllPopMsgs();
}

TEST_F(PopDialogTest, ManyWaitingChangesShareOneSummaryThatOpensTheChangeList) {
  const int fit = QGuiApplication::primaryScreen()->availableGeometry().height() / 155;
  CPopMsgContext context = Context();
  int opens = 0;
  context.openChanges = [&opens] { ++opens; };
  for (int i = 0; i < fit + static_cast<int>(kMostWaitingPopMsgs); ++i)
    ShowPopMsg("change " + std::to_string(i), "http://shop.test/p", "", context);
  EXPECT_EQ(WaitingPopMsgs(), kMostWaitingPopMsgs);
  // One more than may wait: a summary stands for them and for what follows.
  for (int i = 0; i < 3; ++i) ShowPopMsg("more", "http://shop.test/p", "", context);
  EXPECT_EQ(WaitingPopMsgs(), 0u);
  EXPECT_EQ(PopMsgSummaryCount(), static_cast<int>(kMostWaitingPopMsgs) + 3);

  // It shows once there is room, counts on, and "去看看" opens the change list.
  ShownPopMsgs().front()->close();
  ASSERT_TRUE(SpinUntil([&] { return ShownPopMsgs().back()->Text().endsWith("个商品有变动"); }));
  ShowPopMsg("later", "http://shop.test/p", "", context);
  CPopMsgDlg* summary = ShownPopMsgs().back();
  EXPECT_EQ(summary->Text(), QString("%1个商品有变动").arg(kMostWaitingPopMsgs + 4));
  summary->ClickGoTo();
  EXPECT_EQ(opens, 1);
  EXPECT_TRUE(opened.empty());

  // Once it closed, changes wait one by one again.
  summary->close();
  ASSERT_TRUE(SpinUntil([] { return PopMsgSummaryCount() == 0; }));
  EXPECT_EQ(ShowPopMsg("after", "http://shop.test/p", "", context)->Text(), "after");
  CloseAllPopMsgs();
}

TEST_F(PopDialogTest, AVerdictShowsUnderTheTextInItsColour) {
  const DealNote note{DealNote::Kind::kRiseUndone,
                      Utf8ToLocal("先涨后降：14天内从199.00涨到259.00"), false};
  const std::string text(200, 'x');
  CPopMsgDlg popup(text, "", Context(), note);
  popup.show();
  EXPECT_EQ(popup.VerdictText(), QStringLiteral("先涨后降：14天内从199.00涨到259.00"));
  EXPECT_EQ(popup.height(), PopMsgHeight(text, note));
  EXPECT_GT(PopMsgHeight(text, note), PopMsgHeight(text, DealNote{}));
  const QLabel* shown[2] = {};  // the change text, the verdict
  for (const QLabel* label : popup.findChildren<QLabel*>()) {
    if (label->text() == popup.Text()) shown[0] = label;
    if (label->text() == popup.VerdictText()) shown[1] = label;
  }
  ASSERT_TRUE(shown[0] && shown[1]);
  EXPECT_EQ(shown[1]->palette().color(QPalette::WindowText), QColor(235, 120, 0));
  EXPECT_GT(shown[1]->y(), shown[0]->geometry().bottom());
}

}  // namespace
