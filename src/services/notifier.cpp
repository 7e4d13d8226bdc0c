// The notifier's threads, one per channel: tries, growing waits, statuses and the log.
#include "base/codepage.h"
#include "base/logfile.h"
#include "base/outputfield.h"
#include "base/programdir.h"
#include "base/timetext.h"
#include "services/notify.h"

namespace {

constexpr int kTries = 3;
// notify.log is started again once it grows past this.
constexpr long long kLogLimitBytes = 1 << 20;

void LogFailure(NotifyChannel channel, const std::string& error) {
  // The window and vantrelctl may log at the same time; a server's error
  // text must not forge lines of the log.
  AppendLogLine(ProgramFile("notify.log"),
                FormatNowText() + "\t" + ChannelName(channel) + "\t" + EscapeOutputField(error),
                kLogLimitBytes);
}

// A message a channel did not send before the program ended.
void LogUnsent(NotifyChannel channel, const ToldMessage& message) {
  LogFailure(channel, "unsent at exit: " + LocalToUtf8(message.text));
}

}  // namespace

CNotifier::CNotifier(std::chrono::milliseconds firstWait) : m_firstWait(firstWait) {
  for (NotifyChannel channel : kAllChannels) {
    m_lanes.push_back(std::make_unique<Lane>());
    m_lanes.back()->channel = channel;
  }
  for (auto& lane : m_lanes) lane->thread = std::thread([this, &own = *lane] { Run(own); });
}

CNotifier::~CNotifier() {
  std::vector<std::pair<NotifyChannel, Job>> unsent;
  {
    std::lock_guard lock(m_lock);
    m_stopping = true;
    m_stop = true;
    for (auto& lane : m_lanes)
      for (Job& job : lane->jobs) unsent.emplace_back(lane->channel, std::move(job));
  }
  m_changed.notify_all();
  for (auto& lane : m_lanes) lane->thread.join();
  // What a channel never got to is kept where the user can find it.
  const NotifySettings settings = ReadNotifySettings();
  for (const auto& [channel, job] : unsent)
    if (job.forced || ChannelEnabled(settings, channel)) LogUnsent(channel, job.message);
}

void CNotifier::SetDesktop(DesktopNotifyFunction desktop) {
  std::lock_guard lock(m_lock);
  m_desktop = std::move(desktop);
}

void CNotifier::Tell(const ToldMessage& message) {
  {
    std::lock_guard lock(m_lock);
    for (auto& lane : m_lanes) lane->jobs.push_back(Job{message});
  }
  m_changed.notify_all();
}

void CNotifier::TellChannel(NotifyChannel channel, const ToldMessage& message) {
  {
    std::lock_guard lock(m_lock);
    for (auto& lane : m_lanes)
      if (lane->channel == channel) lane->jobs.push_back(Job{message, true});
  }
  m_changed.notify_all();
}

bool CNotifier::AllHandled() const {
  for (const auto& lane : m_lanes)
    if (!lane->jobs.empty() || lane->busy) return false;
  return true;
}

void CNotifier::Flush() {
  std::unique_lock lock(m_lock);
  m_changed.wait(lock, [this] { return AllHandled(); });
}

bool CNotifier::Flush(std::chrono::milliseconds wait) {
  std::unique_lock lock(m_lock);
  return m_changed.wait_for(lock, wait, [this] { return AllHandled(); });
}

TellFunction CNotifier::Teller() {
  return [this](const ToldMessage& message) { Tell(message); };
}

std::map<NotifyChannel, ChannelStatus> CNotifier::Statuses() const {
  std::lock_guard lock(m_lock);
  return m_statuses;
}

void CNotifier::Run(Lane& lane) {
  const CSendStopScope stopScope(m_stop);
  std::unique_lock lock(m_lock);
  while (true) {
    m_changed.wait(lock, [&] { return m_stopping || !lane.jobs.empty(); });
    // Stopping: what is left is logged by the destructor.
    if (m_stopping) return;
    Job job = std::move(lane.jobs.front());
    lane.jobs.pop_front();
    lane.busy = true;
    lock.unlock();
    Deliver(lane.channel, job);
    lock.lock();
    lane.busy = false;
    m_changed.notify_all();
  }
}

void CNotifier::Deliver(NotifyChannel channel, const Job& job) {
  const NotifySettings settings = ReadNotifySettings();
  if (!job.forced && !ChannelEnabled(settings, channel)) return;
  const ChannelFailure failure = TryChannel(channel, settings, job.message);
  std::lock_guard lock(m_lock);
  ChannelStatus& status = m_statuses[channel];
  if (!failure.Failed()) {
    ++status.sent;
    status.lastError.clear();
    status.lastErrorText.clear();
    status.lastErrorTime.clear();
  } else {
    ++status.failed;
    status.lastError = failure.detail;
    status.lastErrorText = failure.text;
    status.lastErrorTime = FormatNowText();
  }
}

ChannelFailure CNotifier::TryChannel(NotifyChannel channel, const NotifySettings& settings,
                                     const ToldMessage& message) {
  DesktopNotifyFunction desktop;
  {
    std::lock_guard lock(m_lock);
    desktop = m_desktop;
  }
  ChannelFailure failure;
  std::chrono::milliseconds wait = m_firstWait;
  for (int attempt = 1; attempt <= kTries; ++attempt) {
    failure = TryChannelOnce(channel, settings, message, desktop);
    if (!failure.Failed()) return failure;
    if (m_stop) {
      LogUnsent(channel, message);
      return failure;
    }
    if (attempt < kTries && !Pause(wait)) {
      LogUnsent(channel, message);
      return failure;
    }
    wait *= 2;
  }
  LogFailure(channel, failure.detail);
  return failure;
}

bool CNotifier::Pause(std::chrono::milliseconds wait) {
  std::unique_lock lock(m_lock);
  return !m_changed.wait_for(lock, wait, [this] { return m_stopping; });
}
