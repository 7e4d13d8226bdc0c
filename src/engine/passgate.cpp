#include "engine/passgate.h"

#include <utility>

std::string LinkHostKey(const std::string& link) {
  size_t begin = link.find("://");
  begin = begin == std::string::npos ? 0 : begin + 3;
  size_t end = link.find_first_of("/?#", begin);
  if (end == std::string::npos) end = link.size();
  std::string host = link.substr(begin, end - begin);
  const size_t at = host.rfind('@');
  if (at != std::string::npos) host.erase(0, at + 1);
  for (char& c : host)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return host;
}

bool CPassGate::Run(const void* task, const std::string& link, std::function<void()> pass) {
  const std::string key = LinkHostKey(link);
  {
    std::lock_guard lock(m_lock);
    if (!m_busy.insert(task).second) return false;
    Host& host = m_hosts[key];
    if (host.running >= m_perHost) {
      host.queued.push_back(Waiting{task, std::move(pass)});
      return true;
    }
    ++host.running;
  }
  // This thread now serves the host until its queue is empty.
  for (;;) {
    pass();
    std::lock_guard lock(m_lock);
    m_busy.erase(task);
    Host& host = m_hosts[key];
    if (host.queued.empty()) {
      if (--host.running == 0) m_hosts.erase(key);
      return true;
    }
    task = host.queued.front().task;
    pass = std::move(host.queued.front().pass);
    host.queued.pop_front();
  }
}

void CPassGate::DropQueued() {
  std::lock_guard lock(m_lock);
  for (auto& [key, host] : m_hosts) {
    for (const Waiting& waiting : host.queued) m_busy.erase(waiting.task);
    host.queued.clear();
  }
}

size_t CPassGate::Running(const std::string& link) const {
  std::lock_guard lock(m_lock);
  auto host = m_hosts.find(LinkHostKey(link));
  return host == m_hosts.end() ? 0 : host->second.running;
}

size_t CPassGate::Queued(const std::string& link) const {
  std::lock_guard lock(m_lock);
  auto host = m_hosts.find(LinkHostKey(link));
  return host == m_hosts.end() ? 0 : host->second.queued.size();
}
