#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

// Admits tracking passes so that one slow shop can't hold every worker: at
// most `perHost` passes of one host run at once, and a pass of a task whose
// previous pass still runs (or waits) is skipped rather than stacked.
//
// A pass that finds its host full does not wait on its thread: it is queued,
// and the thread that finishes a pass of that host runs it next. So a hung
// shop holds at most `perHost` threads and the pool serves the other hosts.
class CPassGate {
 public:
  static constexpr size_t kDefaultPerHost = 2;

  explicit CPassGate(size_t perHost = kDefaultPerHost) : m_perHost(perHost ? perHost : 1) {}
  CPassGate(const CPassGate&) = delete;
  CPassGate& operator=(const CPassGate&) = delete;

  // Runs `pass` for `task` (any key naming the task) on a link's host, now or
  // after the host's earlier passes; false when it was skipped.
  bool Run(const void* task, const std::string& link, std::function<void()> pass);

  // Forgets the passes still queued (the tracker is going away).
  void DropQueued();

  // Passes running or queued for the host of `link`.
  size_t Running(const std::string& link) const;
  size_t Queued(const std::string& link) const;

 private:
  struct Waiting {
    const void* task;
    std::function<void()> pass;
  };
  struct Host {
    size_t running = 0;
    std::deque<Waiting> queued;
  };

  const size_t m_perHost;
  mutable std::mutex m_lock;
  std::set<const void*> m_busy;  // tasks with a pass running or queued
  std::map<std::string, Host> m_hosts;
};

// The host (and port) of a link in lower case, without user information;
// the whole text when it names no scheme.
std::string LinkHostKey(const std::string& link);
