#pragma once

// A main window over a program directory of its own: a fake shop whose
// product pages the shop rules "Fake" read, the program's servers, tasks
// made by the test, a hand-moved tracking clock (no timer fires unless the
// test moves it) and the messages the user would have seen.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "app/vantreldlg.h"
#include "base/files.h"
#include "base/message.h"
#include "base/programdir.h"
#include "controls/qtext.h"
#include "controls/tasklistctrl.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "engine/tracking.h"
#include "support/drawn_images.h"
#include "support/fake_program_servers.h"
#include "support/fakeshop.h"
#include "support/qt_application.h"
#include "support/tempdir.h"

// A product page the "Fake" rules read.
inline std::string ProductPage(const std::string& name, const std::string& id,
                               const std::string& price, const std::string& picture) {
  return "<html><body><h1 id=\"name\">" + name + "</h1><span id=\"sku\">" + id +
         "</span><img id=\"pic\" src=\"" + picture + "\"><em id=\"price\">" + price +
         "</em><div id=\"stock\">in stock</div>" + std::string(1600, ' ') + "</body></html>";
}

class MainWindowTest : public testing::Test {
 protected:
  MainWindowTest() {
    TestApplication();
    for (const char* folder : {"productitems", "productprices", "productimgs"})
      MakeDirectories(home.File(folder));
    WriteImage(home.File("productimgs/blank.jpg"), DrawnImage(105, 105, {255, 255, 255, 255}),
               "jpg");
    servers.PointProgramAt();
    shop.Reply("/pic.png",
               MakeReply(EncodePng(DrawnImage(120, 90, {200, 10, 10, 255})), "image/png"));
    sites.AddSite(std::make_shared<CSite>(ShopSite()));
    SetMessageHandler([this](unsigned id, int, const std::string&) {
      std::lock_guard lock(m_messagesLock);
      m_messages.push_back(id);
      return IDOK;
    });
  }
  ~MainWindowTest() override {
    window.reset();
    SetMessageHandler({});
  }

  CSite ShopSite() const { return PlainPageSite("Fake", shop.Host()); }

  // A task as tasks.xml would have it, with its page served by the shop.
  TaskPtr AddTask(const std::string& name, bool tracked, const std::string& siteName = "Fake") {
    const std::string path = "/item/" + std::to_string(m_serial++) + ".html";
    CTaskValues v;
    v.url = shop.Link(path);
    v.productName = name;
    v.productId = std::to_string(1000 + m_serial);
    v.siteName = siteName;
    v.siteDomain = shop.Host();
    v.imageLink = shop.Link("/pic.png");
    v.frequencyHour = "1";
    v.frequencyMinute = "0";
    v.status = tracked ? 1 : 0;
    v.trackPrice = v.trackStock = v.priceDown = true;
    v.currentPrice = "99.00";
    v.currentStock = 1;
    shop.Page(path, ProductPage(name, v.productId, "99.00", shop.Link("/pic.png")));
    auto task = std::make_shared<CTask>(std::move(v));
    EXPECT_TRUE(tasks.AddTask(task));
    return task;
  }

  void OpenWindow(int sleepTimeMs = 1000) {
    MainWindowOptions options;
    options.title = "Vantrel";
    options.version = "1.069";
    options.settings.sleepTimeMs = sleepTimeMs;
    options.clock = clock;
    options.offerAutoStart = false;
    options.loadWebPanel = false;
    window = std::make_unique<CVantrelDlg>(sites, tasks, options);
  }

  CTaskListModel& Model() { return window->TaskList().Model(); }
  QString Cell(int row, int column) { return Model().CellText(row, column); }

  void Select(std::initializer_list<int> rows) {
    window->TaskList().DeselectAll();
    for (int row : rows) window->TaskList().SelectRow(row, true);
  }

  // The statuses tasks.xml holds now, in order.
  std::vector<int> SavedStatuses() {
    if (window) window->FlushTaskFile();
    CTaskList saved;
    EXPECT_TRUE(saved.LoadTasks(ProgramFile("tasks.xml"), "", "", nullptr));
    std::vector<int> statuses;
    for (const TaskPtr& task : saved.Tasks()) statuses.push_back(task->GetStatus());
    return statuses;
  }

  void ExpectCounts(int total, int tracking, int paused) {
    EXPECT_EQ(window->TotalCount(), total);
    EXPECT_EQ(window->TrackingCount(), tracking);
    EXPECT_EQ(window->PausedCount(), paused);
  }

  std::vector<unsigned> Messages() {
    std::lock_guard lock(m_messagesLock);
    return m_messages;
  }

  TempDir home{true};
  FakeShop shop;
  FakeProgramServers servers;
  CSiteList sites;
  CTaskList tasks;
  std::shared_ptr<ManualTimerClock> clock = std::make_shared<ManualTimerClock>();
  std::unique_ptr<CVantrelDlg> window;

 private:
  std::mutex m_messagesLock;
  std::vector<unsigned> m_messages;
  int m_serial = 0;
};
