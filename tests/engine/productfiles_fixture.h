#pragma once

// A program directory with its product folders and blank picture, a fake
// shop for pages and pictures, the program's servers, a task list and a
// tracker on a hand-moved clock: what adding and deleting tasks work with.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/ini.h"
#include "base/message.h"
#include "base/programdir.h"
#include "engine/addtask.h"
#include "engine/events_record.h"
#include "engine/image.h"
#include "engine/productfiles.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "engine/tracking.h"
#include "services/productservices.h"
#include "support/drawn_images.h"
#include "support/fake_program_servers.h"
#include "support/fakeshop.h"
#include "support/tempdir.h"

class ProductFilesFixture : public testing::Test {
 protected:
  ProductFilesFixture() {
    for (const char* folder : {"productitems", "productprices", "productimgs"})
      MakeDirectories(home.File(folder));
    WriteImage(home.File("productimgs/blank.jpg"), DrawnImage(105, 105, {255, 255, 255, 255}),
               "jpg");
    servers.PointProgramAt();
    SetMessageHandler([this](unsigned id, int, const std::string&) {
      std::lock_guard lock(m_messagesLock);
      m_messages.push_back(id);
      return IDOK;
    });
  }
  ~ProductFilesFixture() override {
    tracker.reset();
    SetMessageHandler({});
  }

  void SetHost(const std::string& key, const std::string& value) {
    IniWriteString(ProgramFile("config.ini"), "Hosts", key, value);
  }

  std::vector<unsigned> Messages() {
    std::lock_guard lock(m_messagesLock);
    return m_messages;
  }

  // A picture the shop serves at `path`.
  void ServePicture(const std::string& path, const std::string& bytes,
                    const std::string& type = "image/png") {
    shop.Reply(path, MakeReply(bytes, type));
  }

  // A task as the add pipeline leaves it just before its files.
  TaskPtr ListedTask(const std::string& domain, const std::string& id,
                     const std::string& imageLink) {
    CTaskValues v;
    v.url = shop.Link("/item/" + std::to_string(++m_serial) + ".html");
    v.productName = "Kettle";
    v.productId = id;
    v.siteName = "Fake";
    v.siteDomain = domain;
    v.imageLink = imageLink;
    v.frequencyHour = "1";
    v.frequencyMinute = "0";
    v.status = 1;
    v.trackPrice = v.trackStock = v.priceDown = true;
    v.currentPrice = "99.00";
    v.currentStock = 1;
    auto task = std::make_shared<CTask>(std::move(v));
    task->SetAddMode("add");
    EXPECT_TRUE(tasks.AddTask(task));
    return task;
  }

  TaskEnvironment Environment() {
    return TaskEnvironment{sites, tasks, events, tracker.get(), ProgramProductServices(&sites)};
  }

  // The picture path of the "UpdateData" sent for the task; "" when none.
  std::string SentPicture(const TaskPtr& task) {
    for (const RecordedEvent& event : events.Named("UpdateData"))
      if (event.task == task && event.sent) return event.text;
    return std::string();
  }

  TempDir home{true};
  FakeShop shop;
  FakeProgramServers servers;
  CSiteList sites;
  CTaskList tasks;
  CRecordingEventSink events;
  std::shared_ptr<ManualTimerClock> clock = std::make_shared<ManualTimerClock>();
  std::unique_ptr<CTracker> tracker =
      std::make_unique<CTracker>(sites, tasks, events, TrackingSettings{0, 0}, clock, 2);

 private:
  std::mutex m_messagesLock;
  std::vector<unsigned> m_messages;
  int m_serial = 0;
};
