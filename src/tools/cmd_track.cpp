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
#include "base/stringtable.h"
#include "engine/events_print.h"
#include "engine/events_queue.h"
#include "engine/renderer.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "engine/tracking.h"
#include "services/notify.h"
#include "services/pricerecord.h"
#include "services/startup.h"
#include "services/verdict.h"
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

constexpr std::chrono::seconds kNotifyExitWait(10);

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
    tracker.SetDealJudge(JudgeTaskDeal);
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
    // Passes still drawing a page end now rather than by their deadline.
    CancelRenders();
    tasks.SetMergeListener(nullptr);
  }  // the tracker waits here for the passes that are running
  dispatcher.Flush();
  // Messages on their way get a few seconds: a channel that hangs can't hold
  // the exit, and what it did not send is logged to notify.log.
  const auto flushEnd = std::chrono::steady_clock::now() + kNotifyExitWait;
  while (!notifier.Flush(std::chrono::milliseconds(100)) &&
         std::chrono::steady_clock::now() < flushEnd && !StopRequested()) {
  }
  // A run whose changes did not all reach tasks.xml must not look like success.
  return printer.Showed(IDS_SAVE_TASKS_FAILED) ? 1 : 0;
}

}  // namespace

VANTREL_COMMAND(track, "track", "[--once]",
                "Tracks the tasks of the program directory without a window: loads the shop\n"
                "rules (sites.xml), the tasks (tasks.xml, with their comparison and history\n"
                "files) and the settings (SleepTime, MsgPop, FailAlert, RealDealsOnly of\n"
                "config.ini), and runs the tracking pass of every tracked task on its timer,\n"
                "the first runs SleepTime seconds apart. Passes save tasks.xml (at most once a "
                "second, and on the way\n"
                "out) and the history files as the program does; tasks that other processes\n"
                "add to or delete from tasks.xml meanwhile are taken in. Ends on SIGINT or\n"
                "SIGTERM within two seconds (running passes, a page the browser is still\n"
                "drawing among them, are cut short and change nothing; what the others\n"
                "found is saved); with --once, after one pass of each tracked task. A\n"
                "file another process holds locked (one stopped with Ctrl-Z) is waited\n"
                "for 10 seconds at most; its changes are saved later.\n"
                "Prints one line per event, eight tab-separated columns in UTF-8:\n"
                "  TIME EVENT LINK PRICESTATE STOCKSTATE PRICE STOCK TEXT\n"
                "TIME is local time \"YYYY-MM-DD HH:MM:SS\". EVENT is UpdateData (the row is\n"
                "refreshed), UpdateChangeData (a change the user asked to be told of),\n"
                "Popup (LINK and TEXT of the pop-up), Sound (TEXT is the sound file) or\n"
                "Message (TEXT is a message to the user, e.g. that tasks.xml could not be\n"
                "saved).\n"
                "PRICESTATE is up, down, nochange or error; STOCKSTATE change or nochange;\n"
                "STOCK 1 in stock, 0 out of stock, -1 undetermined. TEXT is the change\n"
                "text, e.g. \"<name>价格变为89.00\". An empty column is \"-\"; values are\n"
                "escaped (see vantrelctl --help).\n"
                "A pass that got no usable observation (no page, an error reply, a page\n"
                "under 1500 bytes, no rules for the shop, no price, a page the browser\n"
                "could not draw: \"渲染失败: WHY\") prints instead one line of five\n"
                "columns: TIME failed LINK REASON COUNT, COUNT being the failed\n"
                "passes in a row. When COUNT reaches FailAlert of section \"Base\" (default\n"
                "3, 0 never), once per streak, a line TIME FailAlert LINK - - - - TEXT\n"
                "follows, TEXT being \"<name>连续<COUNT>次抓取失败\" (also the pop-up and\n"
                "the notification channels).\n"
                "Each UpdateChangeData also goes to the notification channels of section\n"
                "\"Notify\" (see notify-test), each channel on its own; at the end the\n"
                "command waits up to 10 s for them, and what a channel did not send by then\n"
                "is logged to notify.log.\n"
                "A drop is judged against the task's price history: when the history says\n"
                "something of it, a line TIME Verdict LINK - - - - TEXT follows its\n"
                "UpdateChangeData, TEXT being \"历史最低\", \"近N天最低\" or\n"
                "\"先涨后降：N天内从A涨到B\" (see history); the pop-up and the channels show\n"
                "it beside the change text. With RealDealsOnly=1 in section \"Base\"\n"
                "(\"只提醒真降价\"), a drop that is not at least the lowest price of the last\n"
                "30 days, or that only undoes a rise, prints its UpdateChangeData but no\n"
                "Popup or Sound and goes to no channel.\n"
                "Exit status 1 when sites.xml or tasks.xml can't be read, or when a save of\n"
                "tasks.xml failed during the run (\"保存任务文件失败！\").",
                RunTrack);
