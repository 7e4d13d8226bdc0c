// vantrelctl track: tracking without a window, for servers and scripts.
#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "base/programdir.h"
#include "base/stoprequest.h"
#include "engine/events_print.h"
#include "engine/events_queue.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "engine/tracking.h"
#include "services/notify.h"
#include "services/pricerecord.h"
#include "services/startup.h"
#include "tools/command.h"

namespace {

// SIGINT and SIGTERM are taken by a thread of their own; blocking them
// before any thread starts keeps them away from the pool's threads.
sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

// A stop signal may come at any point, in a pass or a lock wait included:
// from then on running transfers end and lock waits are cut short, so that
// the passes, the last saves and the command are over within two seconds.
void WatchStopSignals(const sigset_t& signals) {
  std::thread([signals] {
    int signal = 0;
    if (sigwait(&signals, &signal) == 0) RequestStop();
  }).detach();
}

// True when a stop was requested within `wait`.
bool StopSignalCame(std::chrono::milliseconds wait) {
  const auto end = std::chrono::steady_clock::now() + wait;
  while (!StopRequested()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// One one-shot timer per tracked task, staggered as at start-up.
void ScheduleOnce(CTracker& tracker, const CTaskList& tasks, std::int64_t sleepTimeMs) {
  std::vector<TaskPtr> all = tasks.Tasks();
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i]->GetStatus() == 1)
      tracker.ScheduleTask(static_cast<std::int64_t>(i) * sleepTimeMs, 0, all[i]);
}

int RunTrack(const std::vector<std::string>& args) {
  bool once = false;
  for (const std::string& arg : args) {
    if (arg != "--once") {
      std::fprintf(stderr, "usage: vantrelctl track [--once]\n");
      return 2;
    }
    once = true;
  }
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  WatchStopSignals(signals);

  SweepProgramTemporaries();
  CSiteList sites;
  const std::string sitesPath = ProgramFile("sites.xml");
  if (!sites.LoadSites(sitesPath)) {
    std::fprintf(stderr, "vantrelctl: %s can't be read\n", sitesPath.c_str());
    return 1;
  }
  CTaskList tasks;
  const std::string tasksPath = ProgramFile("tasks.xml");
  // The same loading as the program's start-up, except that a missing file
  // is an error here: there would be nothing to track.
  if (!FileExists(tasksPath) || !LoadProgramTasks(tasks, sites)) {
    PrintTasksUnreadable(tasks, tasksPath, "");
    return 1;
  }

  const TrackingSettings settings = ReadTrackingSettings();
  CPrintingEventSink printer(stdout);
  CEventDispatcher dispatcher(printer);
  // Changes go to the notification channels too; the notifier is the last
  // to go, so that what the passes told is still sent.
  CNotifier notifier;
  {
    CTracker tracker(sites, tasks, dispatcher, settings);
    // Tasks that `vantrelctl add` or the window put in tasks.xml meanwhile
    // are tracked here too (one round leaves them to the next).
    if (!once) {
      tasks.SetMergeListener(
          [&tracker](const std::vector<TaskPtr>& added, const std::vector<TaskPtr>& removed) {
            tracker.TakeInMergedTasks(added, removed);
          });
    }
    tracker.SetPriceRecorder(RecordTrackedPrice);
    tracker.SetTeller(notifier.Teller());
    if (once) {
      ScheduleOnce(tracker, tasks, settings.sleepTimeMs);
      // One-shot timers leave the queue when they fire.
      while (tracker.Queue().TimerCount() > 0 || !tracker.Queue().WaitIdle({})) {
        if (StopSignalCame(std::chrono::milliseconds(100))) break;
      }
    } else {
      tracker.ScheduleAllTasks();
      while (!StopSignalCame(std::chrono::milliseconds(1000))) {
        // Adds of other processes are tracked without waiting for a pass.
        tasks.Refresh(tasksPath);
      }
    }
    tasks.SetMergeListener(nullptr);
  }  // the tracker waits here for the passes that are running
  dispatcher.Flush();
  notifier.Flush();
  return 0;
}

}  // namespace

VANTREL_COMMAND(
    track, "track", "[--once]",
    "Tracks the tasks of the program directory without a window: loads the shop\n"
    "rules (sites.xml), the tasks (tasks.xml, with their comparison and history\n"
    "files) and the settings (SleepTime, MsgPop, FailAlert of config.ini), and runs the\n"
    "tracking pass of every tracked task on its timer, the first runs SleepTime\n"
    "seconds apart. Passes save tasks.xml (at most once a second, and on the way\n"
    "out) and the history files as the program does; tasks that other processes\n"
    "add to or delete from tasks.xml meanwhile are taken in. Ends on SIGINT or\n"
    "SIGTERM within two seconds (running passes are cut short and change\n"
    "nothing; what the others found is saved); with --once, after one pass of\n"
    "each tracked task. A file another process holds locked (one stopped with\n"
    "Ctrl-Z) is waited for 10 seconds at most; its changes are saved later.\n"
    "Prints one line per event, eight tab-separated columns in UTF-8:\n"
    "  TIME EVENT LINK PRICESTATE STOCKSTATE PRICE STOCK TEXT\n"
    "TIME is local time \"YYYY-MM-DD HH:MM:SS\". EVENT is UpdateData (the row is\n"
    "refreshed), UpdateChangeData (a change the user asked to be told of),\n"
    "Popup (LINK and TEXT of the pop-up), Sound (TEXT is the sound file) or\n"
    "Message (TEXT is a message to the user, e.g. that tasks.xml could not be\n"
    "saved).\n"
    "PRICESTATE is up, down, nochange or error; STOCKSTATE change or nochange;\n"
    "STOCK 1 in stock, 0 out of stock, -1 undetermined. TEXT is the change\n"
    "text, e.g. \"<name>价格变为89.00\". An empty column is \"-\".\n"
    "A pass that got no usable observation (no page, an error reply, a page\n"
    "under 1500 bytes, no rules for the shop, no price) prints instead one line\n"
    "of five columns: TIME failed LINK REASON COUNT, COUNT being the failed\n"
    "passes in a row. When COUNT reaches FailAlert of section \"Base\" (default\n"
    "3, 0 never), once per streak, a line TIME FailAlert LINK - - - - TEXT\n"
    "follows, TEXT being \"<name>连续<COUNT>次抓取失败\" (also the pop-up and\n"
    "the notification channels).\n"
    "Each UpdateChangeData also goes to the notification channels of section\n"
    "\"Notify\" (see notify-test); the command ends once they were sent.\n"
    "Exit status 1 when sites.xml or tasks.xml can't be read.",
    RunTrack);
