#include <atomic>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QThread>

#include <gtest/gtest.h>

#include "app/messagebox.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "dialog_helpers.h"

namespace {

class MessageBoxTest : public ::testing::Test {
 protected:
  MessageBoxTest() {
    TestApplication();
    InstallMessageBoxes();
  }
  ~MessageBoxTest() override { SetMessageHandler(nullptr); }
};

TEST_F(MessageBoxTest, EachButtonGivesItsResult) {
  struct Case {
    int kind;
    const char* box;
    const char* button;
    int result;
  };
  const Case cases[] = {
      {kMessageInfo, "CMsgDlg", "okButton", IDOK},
      {kMessageQuestion, "CWhetherMsgDlg", "yesButton", IDYES},
      {kMessageQuestion, "CWhetherMsgDlg", "noButton", IDNO},
      {kMessageQuestion, "CWhetherMsgDlg", "cancelButton", IDCANCEL},
  };
  for (const Case& c : cases) {
    const char* button = c.button;
    WhenShown(c.box, [button](QWidget* box) { Click(box, button); });
    EXPECT_EQ(RunMessageBox(c.kind, QStringLiteral("问题")), c.result) << c.button;
  }
}

TEST_F(MessageBoxTest, ClosingTheBoxCountsAsCancel) {
  WhenShown("CWhetherMsgDlg", [](QWidget* box) { box->close(); });
  EXPECT_EQ(RunMessageBox(kMessageQuestion, QStringLiteral("x")), IDCANCEL);
  WhenShown("CMsgDlg", [](QWidget* box) { box->close(); });
  EXPECT_EQ(RunMessageBox(kMessageInfo, QStringLiteral("x")), IDOK);
}

TEST_F(MessageBoxTest, CaptionsAndTextComeFromTheStringTable) {
  QString caption;
  QString text;
  WhenShown("CWhetherMsgDlg", [&](QWidget* box) {
    caption = box->windowTitle();
    text = Child<QLabel>(box, "messageText")->text();
    Click(box, "yesButton");
  });
  EXPECT_EQ(ShowMessage(IDS_FREQUENCY_TOO_LOW, kMessageQuestion), IDYES);
  EXPECT_EQ(caption, LoadQString(IDS_QUESTION_CAPTION));
  EXPECT_EQ(text, QStringLiteral("频率要大于等于1分钟！"));

  WhenShown("CMsgDlg", [&](QWidget* box) {
    caption = box->windowTitle();
    Click(box, "okButton");
  });
  EXPECT_EQ(ShowMessage(IDS_ENTER_LINK, kMessageInfo), IDOK);
  EXPECT_EQ(caption, LoadQString(IDS_MESSAGE_CAPTION));
}

TEST_F(MessageBoxTest, SuccessesShowTheInformationPicture) {
  const std::pair<unsigned, const char*> cases[] = {{IDS_LOGIN_OK, "imgs/Info.png"},
                                                    {IDS_TASK_FILE_IMPORTED, "imgs/Info.png"},
                                                    {IDS_ENTER_LINK, "imgs/Alert.png"}};
  for (const auto& [id, expected] : cases) {
    QString picture;
    WhenShown("CMsgDlg", [&picture](QWidget* box) {
      picture = Child<QLabel>(box, "messagePicture")->property("skinImage").toString();
      Click(box, "okButton");
    });
    EXPECT_EQ(ShowMessage(id, kMessageInfo), IDOK);
    EXPECT_EQ(picture, QString::fromLatin1(expected)) << id;
  }
}

TEST_F(MessageBoxTest, OtherKindsShowNothing) {
  EXPECT_EQ(RunMessageBox(3, QStringLiteral("x")), 0);
  EXPECT_EQ(ShowMessage(IDS_ENTER_LINK, 3), 0);
  EXPECT_EQ(VisibleWindow("CMsgDlg"), nullptr);
}

TEST_F(MessageBoxTest, AWorkerWaitsForTheBoxOnTheGuiThread) {
  std::atomic<int> answer{-1};
  QThread* boxThread = nullptr;
  QString text;
  WhenShown("CWhetherMsgDlg", [&](QWidget* box) {
    boxThread = box->thread();
    text = Child<QLabel>(box, "messageText")->text();
    Click(box, "noButton");
  });
  std::thread worker([&] { answer = ShowMessage(IDS_ADD_DUPLICATE, kMessageQuestion); });
  EXPECT_TRUE(SpinUntil([&] { return answer != -1; }));
  worker.join();
  EXPECT_EQ(answer, IDNO);
  EXPECT_EQ(boxThread, QCoreApplication::instance()->thread());
  EXPECT_EQ(text, LoadQString(IDS_ADD_DUPLICATE));
}

TEST_F(MessageBoxTest, SeveralWorkersEachGetTheirOwnAnswer) {
  std::atomic<int> first{-1};
  std::atomic<int> second{-1};
  // Answer yes to one box and cancel to the other, whichever opens first.
  std::atomic<int> boxes{0};
  std::function<void(QWidget*)> answer = [&](QWidget* box) {
    Click(box, boxes++ == 0 ? "yesButton" : "cancelButton");
    if (boxes < 2) WhenShown("CWhetherMsgDlg", answer);
  };
  WhenShown("CWhetherMsgDlg", answer);
  std::thread a([&] { first = ShowMessage(IDS_ADD_DUPLICATE, kMessageQuestion); });
  std::thread b([&] { second = ShowMessage(IDS_ADD_FETCH_FAILED, kMessageQuestion); });
  EXPECT_TRUE(SpinUntil([&] { return first != -1 && second != -1; }));
  a.join();
  b.join();
  EXPECT_EQ(first + second, IDYES + IDCANCEL);
  EXPECT_NE(first, second);
}

TEST_F(MessageBoxTest, QuittingReleasesWaitingWorkersWithoutABox) {
  std::atomic<int> question{-1};
  std::atomic<int> info{-1};
  std::thread worker([&] {
    question = ShowMessage(IDS_ADD_DUPLICATE, kMessageQuestion);
    info = ShowMessage(IDS_ENTER_LINK, kMessageInfo);
  });
  // The GUI thread never runs its events here, as when it is busy ending
  // the program and waits for its threads.
  AbandonMessageBoxes();
  worker.join();
  EXPECT_EQ(question, IDCANCEL);
  EXPECT_EQ(info, IDOK);
  // A box the worker asked for before the release never opens afterwards.
  QCoreApplication::processEvents();
  EXPECT_EQ(VisibleWindow("CWhetherMsgDlg"), nullptr);
  EXPECT_EQ(ShowMessage(IDS_ENTER_LINK, kMessageQuestion), IDCANCEL);

  InstallMessageBoxes();
  WhenShown("CMsgDlg", [](QWidget* box) { Click(box, "okButton"); });
  EXPECT_EQ(ShowMessage(IDS_ENTER_LINK, kMessageInfo), IDOK);
}

TEST(MessageBoxLayoutTest, SizesFollowTheTextAndLongTextsWrap) {
  const auto oneLineOf18 = [](int) { return 18; };
  // Short text: picture + (bytes + 10) x 7 wide, a button and 84 high.
  MessageBoxLayout shortText = LayOutMessageBox(32, 20, 0, 28, oneLineOf18);
  EXPECT_EQ(shortText.box, QSize(32 + (20 + 10) * 7, 28 + 84));
  EXPECT_EQ(shortText.text.left(), 20 + 32 + 20);
  EXPECT_EQ(shortText.buttonsTop + 28, shortText.box.height() - 5);
  // Three buttons want room of their own.
  EXPECT_EQ(LayOutMessageBox(32, 4, 248, 28, oneLineOf18).box.width(), 248 + 40);
  // A long text stops widening the box and wraps onto more lines.
  const auto wrapping = [](int width) { return 18 * ((7 * 300 + width - 1) / width); };
  MessageBoxLayout longText = LayOutMessageBox(32, 300, 0, 28, wrapping);
  EXPECT_EQ(longText.text.width(), kMaxMessageTextWidth);
  EXPECT_EQ(longText.text.height(), 18 * 5);
  EXPECT_EQ(longText.box.height(), 28 + 84 + 18 * 4);
  EXPECT_LE(longText.text.bottom(), longText.buttonsTop);
}

TEST_F(MessageBoxTest, ALongTextShowsWhollyInsideTheBox) {
  const QString text = QString(QStringLiteral("保存任务文件失败！")).repeated(12);
  CMsgDlg box(text);
  box.show();
  auto* label = box.findChild<QLabel*>(QStringLiteral("messageText"));
  auto* ok = box.findChild<QWidget*>(QStringLiteral("okButton"));
  ASSERT_TRUE(label && ok);
  EXPECT_LE(label->heightForWidth(label->width()), label->height());
  EXPECT_TRUE(box.rect().contains(label->geometry()));
  EXPECT_FALSE(label->geometry().intersects(ok->geometry()));
  EXPECT_NEAR(ok->geometry().center().x(), box.width() / 2, 1);
}

}  // namespace
