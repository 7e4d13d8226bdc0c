#pragma once

#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/files.h"
#include "base/message.h"
#include "engine/site.h"
#include "support/http_server.h"
#include "support/tempdir.h"
#include "updater/worker.h"

// What the worker told the dialog, texts in UTF-8.
class RecordingSink : public UpdateSink {
 public:
  void ReportStatus(const std::string& localText) override {
    std::lock_guard lock(m_lock);
    statuses.push_back(LocalToUtf8(localText));
  }
  void ReportProgress(int percent) override {
    std::lock_guard lock(m_lock);
    progress.push_back(percent);
  }
  void SetBusy(bool busy) override {
    std::lock_guard lock(m_lock);
    busyChanges.push_back(busy);
  }
  void WorkFinished() override {
    std::lock_guard lock(m_lock);
    ++finished;
  }

  std::string LastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }
  bool Saw(const std::string& status) const {
    for (const std::string& s : statuses)
      if (s == status) return true;
    return false;
  }

  std::vector<std::string> statuses;
  std::vector<int> progress;
  std::vector<bool> busyChanges;
  int finished = 0;

 private:
  std::mutex m_lock;
};

// A program directory, an update folder served under /upd/ on 127.0.0.1 and
// a message handler that records what the worker shows and answers it.
class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageHandler([this](unsigned id, int kind, const std::string& localText) {
      messages.push_back(LocalToUtf8(localText));
      messageIds.push_back(id);
      return kind == kMessageQuestion ? questionAnswer : IDOK;
    });
    server.Get("/upd/update.ini", [this](const httplib::Request&, httplib::Response& reply) {
      std::lock_guard lock(m_infoLock);
      if (m_info.empty()) {
        reply.status = 404;
        reply.set_content("Not Found", "text/plain");
      } else {
        reply.set_content(m_info, "text/plain");
      }
    });
  }
  void TearDown() override { SetMessageHandler(nullptr); }

  UpdaterArguments Arguments(const std::string& version = "1.069",
                             const std::string& siteVersion = "5") const {
    return UpdaterArguments{name, version, siteVersion, server.Url("/upd/update.ini")};
  }

  // update.ini with the program's section holding these lines.
  void ServeInfo(const std::string& lines) {
    std::lock_guard lock(m_infoLock);
    m_info = "[" + name + "]\r\n" + lines;
  }

  void Run(const UpdaterArguments& arguments) {
    CUpdateWorker worker(arguments, sink);
    worker.Run();
  }
  void Run() { Run(Arguments()); }

  // A sites.xml with one record per (name, domain) pair.
  static std::string SitesXml(const std::string& version,
                              const std::vector<std::pair<std::string, std::string>>& shops) {
    CSiteList list;
    for (const auto& [shopName, domain] : shops) {
      auto site = std::make_shared<CSite>();
      site->SetName(shopName);
      site->SetDomain(domain);
      list.AddSite(site);
    }
    list.SetVersion(version);
    TempDir scratch;
    list.SaveSites(scratch.File("sites.xml"));
    return scratch.Read("sites.xml");
  }

  TempDir home{true};
  TestHttpServer server;
  RecordingSink sink;
  std::vector<std::string> messages;
  std::vector<unsigned> messageIds;
  int questionAnswer = IDOK;
  // A name no other program of this user carries, so that no test ever
  // finds (or ends) a real program.
  std::string name = "VantrelUpd" + std::to_string(getpid());

 private:
  std::mutex m_infoLock;
  std::string m_info;  // empty: update.ini is not found
};
