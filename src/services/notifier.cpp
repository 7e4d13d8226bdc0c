// The notifier's thread: tries, growing waits, statuses and the log.
#include "base/logfile.h"
#include "base/programdir.h"
#include "base/timetext.h"
#include "services/notify.h"

namespace {

constexpr int kTries = 3;
// notify.log is started again once it grows past this.
constexpr long long kLogLimitBytes = 1 << 20;

void LogFailure(NotifyChannel channel, const std::string& error) {
  // The window and vantrelctl may log at the same time.
  AppendLogLine(ProgramFile("notify.log"),
                FormatNowText() + "\t" + ChannelName(channel) + "\t" + error, kLogLimitBytes);
}

}  // namespace

CNotifier::CNotifier(std::chrono::milliseconds firstWait)
    : m_firstWait(firstWait), m_thread([this] { Run(); }) {}

CNotifier::~CNotifier() {
  {
    std::lock_guard lock(m_lock);
    m_stopping = true;
  }
  m_changed.notify_all();
  m_thread.join();
}

void CNotifier::SetDesktop(DesktopNotifyFunction desktop) {
  std::lock_guard lock(m_lock);
  m_desktop = std::move(desktop);
}

void CNotifier::Tell(const ToldMessage& message) {
  {
    std::lock_guard lock(m_lock);
    m_jobs.push_back(Job{message});
  }
  m_changed.notify_all();
}

void CNotifier::TellChannel(NotifyChannel channel, const ToldMessage& message) {
  {
    std::lock_guard lock(m_lock);
    m_jobs.push_back(Job{message, true, channel});
  }
  m_changed.notify_all();
}

void CNotifier::Flush() {
  std::unique_lock lock(m_lock);
  m_changed.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

TellFunction CNotifier::Teller() {
  return [this](const ToldMessage& message) { Tell(message); };
}

std::map<NotifyChannel, ChannelStatus> CNotifier::Statuses() const {
  std::lock_guard lock(m_lock);
  return m_statuses;
}

void CNotifier::Run() {
  std::unique_lock lock(m_lock);
  while (true) {
    m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
    // Stopping: what is left is dropped, so that closing the program never
    // waits for a channel; callers that must deliver Flush first.
    if (m_stopping) return;
    Job job = std::move(m_jobs.front());
    m_jobs.pop_front();
    m_busy = true;
    lock.unlock();
    Deliver(job);
    lock.lock();
    m_busy = false;
    m_changed.notify_all();
  }
}

void CNotifier::Deliver(const Job& job) {
  const NotifySettings settings = ReadNotifySettings();
  for (NotifyChannel channel : kAllChannels) {
    if (job.oneChannel ? channel != job.channel : !ChannelEnabled(settings, channel)) continue;
    const std::string error = TryChannel(channel, settings, job.message);
    std::lock_guard lock(m_lock);
    ChannelStatus& status = m_statuses[channel];
    if (error.empty()) {
      ++status.sent;
      status.lastError.clear();
      status.lastErrorTime.clear();
    } else {
      ++status.failed;
      status.lastError = error;
      status.lastErrorTime = FormatNowText();
    }
  }
}

std::string CNotifier::TryChannel(NotifyChannel channel, const NotifySettings& settings,
                                  const ToldMessage& message) {
  DesktopNotifyFunction desktop;
  {
    std::lock_guard lock(m_lock);
    desktop = m_desktop;
  }
  std::string error;
  std::chrono::milliseconds wait = m_firstWait;
  for (int attempt = 1; attempt <= kTries; ++attempt) {
    error = SendToChannel(channel, settings, message, desktop);
    if (error.empty()) return error;
    if (attempt < kTries && !Pause(wait)) break;
    wait *= 2;
  }
  LogFailure(channel, error);
  return error;
}

bool CNotifier::Pause(std::chrono::milliseconds wait) {
  std::unique_lock lock(m_lock);
  return !m_changed.wait_for(lock, wait, [this] { return m_stopping; });
}
