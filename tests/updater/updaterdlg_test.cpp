#include "updater/updaterdlg.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include "base/files.h"
#include "base/message.h"
#include "support/http_server.h"
#include "support/qt_application.h"
#include "support/tempdir.h"
#include "updater/messagedlg.h"

// fontconfig keeps a cache for the life of the process; the test program's
// QApplication is never destroyed, so the leak checker would count it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace {

// Processes events until `done` holds or a few seconds pass.
bool WaitFor(const std::function<bool()>& done) {
  const bool held = SpinUntil(done, 20000);
  // What `done` saw may have queued more for the dialog.
  QApplication::processEvents();
  return held;
}

class UpdaterDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    server.Get("/upd/update.ini", [this](const httplib::Request&, httplib::Response& reply) {
      reply.set_content("[" + name + "]\r\nVERSION=2\r\nFILE1=a.txt\r\n", "text/plain");
    });
    server.Page("/upd/a.txt", "new", "text/plain");
  }

  UpdaterArguments Arguments() const {
    return UpdaterArguments{name, "1.069", "99", server.Url("/upd/update.ini")};
  }

  TempDir home{true};
  TestHttpServer server;
  std::string name = "VantrelDlg" + std::to_string(getpid());
};

TEST_F(UpdaterDialogTest, StartsWithItsCaptionsAndEndsWithTheStartButton) {
  CUpdaterDlg dialog(Arguments());
  EXPECT_EQ(dialog.windowTitle(), "万特尔升级程序");
  EXPECT_EQ(dialog.StatusLine()->text(), "点击下一步查看可用的更新");
  EXPECT_EQ(dialog.CloseButton()->text(), "取消(&C)");
  EXPECT_EQ(dialog.StartButton()->text(), "立即启动洛纳万特尔(&O)");
  EXPECT_EQ(dialog.StartButton()->size(), QSize(186, 22));
  EXPECT_EQ(dialog.Progress()->maximum(), 100);
  dialog.show();
  EXPECT_FALSE(dialog.StartButton()->isVisible());

  dialog.StartWork();
  EXPECT_TRUE(dialog.IsAnimating());
  ASSERT_TRUE(WaitFor([&] { return dialog.IsWorkFinished(); }));
  ASSERT_TRUE(WaitFor([&] { return dialog.StartButton()->isVisible(); }));

  EXPECT_EQ(home.Read("a.txt"), "new");
  EXPECT_EQ(dialog.StatusLine()->text(), "升级完成！");
  EXPECT_EQ(dialog.CloseButton()->text(), "关闭(&C)");
  EXPECT_EQ(dialog.Progress()->value(), 100);
  EXPECT_FALSE(dialog.IsAnimating());
  dialog.CloseButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(UpdaterDialogTest, TheAnimationAndTheEndImageComeFromTheSkinFiles) {
  MakeDirectories(home.File("imgs"));
  // The smallest GIF: one white pixel.
  home.Write("imgs/Updating.gif",
             std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04"
                         "\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D"
                         "\x01\x00;",
                         43));
  QImage finish(20, 10, QImage::Format_ARGB32);
  finish.fill(Qt::green);
  ASSERT_TRUE(finish.save(QString::fromStdString(home.File("imgs/UpdateFinish.png")), "PNG"));

  CUpdaterDlg dialog(Arguments());
  dialog.StartWork();
  EXPECT_FALSE(dialog.Picture()->pixmap().isNull());
  ASSERT_TRUE(WaitFor([&] { return dialog.StartButton()->isVisibleTo(&dialog); }));
  EXPECT_EQ(dialog.Picture()->pixmap().size(), QSize(20, 10));
  dialog.reject();
}

TEST_F(UpdaterDialogTest, MissingSkinFilesShowNothing) {
  CUpdaterDlg dialog(Arguments());
  dialog.StartWork();
  EXPECT_TRUE(dialog.Picture()->pixmap().isNull());
  ASSERT_TRUE(WaitFor([&] { return dialog.StartButton()->isVisibleTo(&dialog); }));
  EXPECT_TRUE(dialog.Picture()->pixmap().isNull());
  dialog.reject();
}

TEST_F(UpdaterDialogTest, TheStartButtonStartsTheMainProgram) {
  // The main program here is a script that leaves a mark.
  home.Write(name, "#!/bin/sh\necho started > '" + home.File("mark") + "'\n");
  chmod(home.File(name).c_str(), 0755);
  CUpdaterDlg dialog(Arguments());
  dialog.StartWork();
  ASSERT_TRUE(WaitFor([&] { return dialog.StartButton()->isVisibleTo(&dialog); }));
  dialog.StartButton()->click();
  EXPECT_EQ(dialog.result(), CUpdaterDlg::kStartResult);
  ASSERT_TRUE(WaitFor([&] { return FileExists(home.File("mark")); }));
}

TEST_F(UpdaterDialogTest, ClosingDuringADownloadEndsTheWorker) {
  // A server that never answers keeps the worker in its first download.
  RawHttpServer silent;
  silent.Silent("/upd/update.ini");
  CUpdaterDlg dialog(UpdaterArguments{name, "1", "1", silent.Url("/upd/update.ini")});
  dialog.StartWork();
  ASSERT_TRUE(WaitFor([&] { return silent.Requests("/upd/update.ini") == 1; }));
  auto start = std::chrono::steady_clock::now();
  dialog.CloseButton()->click();
  EXPECT_TRUE(dialog.IsWorkFinished());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(UpdaterMessageDialog, GotItConfirmsAndClosingDoesNot) {
  TestApplication();
  InstallUpdaterMessageHandler();
  struct Case {
    bool clickGotIt;
    int expected;
  } cases[] = {{true, IDOK}, {false, IDCANCEL}};
  for (const Case& c : cases) {
    QString shown;
    QTimer::singleShot(50, [&] {
      auto* box = qobject_cast<CUpdaterMessageDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      shown = box->Text()->toPlainText();
      EXPECT_EQ(box->GotItButton()->text(), "知道了");
      if (c.clickGotIt)
        box->GotItButton()->click();
      else
        box->reject();
    });
    // Asked from a worker thread, as the update does; shown on this one.
    std::atomic<int> answer = 0;
    std::thread worker([&] { answer = ShowMessageText(1020, kMessageQuestion, "Vantrel runs"); });
    ASSERT_TRUE(WaitFor([&] { return answer != 0; }));
    worker.join();
    EXPECT_EQ(answer, c.expected);
    EXPECT_EQ(shown, "Vantrel runs");
  }
  SetMessageHandler(nullptr);
}

}  // namespace
