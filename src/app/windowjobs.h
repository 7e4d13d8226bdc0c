#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

// Work that may block (a request to one of the program's servers, a
// download) never runs on the window thread: it runs here, and its result is
// handed to `done` on the window thread, unless the receiver went away
// meanwhile. Destroying the runner waits for the work still running.
class CWindowJobs {
 public:
  CWindowJobs();
  ~CWindowJobs();
  CWindowJobs(const CWindowJobs&) = delete;
  CWindowJobs& operator=(const CWindowJobs&) = delete;

  template <typename Work, typename Done>
  void Run(QObject* receiver, Work work, Done done) {
    QPointer<QObject> guard(receiver);
    QObject* relay = m_relay.get();
    ++m_running;
    m_pool.start([this, guard, relay, work = std::move(work), done = std::move(done)]() mutable {
      auto result = work();
      // The relay lives on the window thread and goes only after every job
      // ended, so posting to it is safe; the receiver is looked at there.
      QMetaObject::invokeMethod(
          relay,
          [this, guard, done = std::move(done), result = std::move(result)]() mutable {
            --m_running;
            if (guard) done(std::move(result));
          },
          Qt::QueuedConnection);
    });
  }

  // The same for work a user waits on after a click: the busy cursor shows
  // from now until the result is handed back.
  template <typename Work, typename Done>
  void RunShowingBusy(QObject* receiver, Work work, Done done) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    QPointer<QObject> guard(receiver);
    // Handed to the relay, which outlives the work: the cursor always comes
    // back, even when the receiver went meanwhile.
    Run(m_relay.get(), std::move(work), [guard, done = std::move(done)](auto result) mutable {
      QGuiApplication::restoreOverrideCursor();
      if (guard) done(std::move(result));
    });
  }

  // For a caller that needs the result before it can go on (a modal
  // window's handler): `work` runs on a worker while the window thread keeps
  // handling events, and its result is returned.
  template <typename Work>
  auto Wait(Work work) -> decltype(work()) {
    std::optional<decltype(work())> result;
    QEventLoop loop;
    Run(&loop, std::move(work), [&result, &loop](auto value) {
      result = std::move(value);
      loop.quit();
    });
    if (!result) loop.exec();
    return std::move(*result);
  }

  // Work started and not yet handed back (window thread).
  int Running() const { return m_running; }
  // Blocks until no work runs any more; results not handed back are dropped.
  void WaitForAll();

  // For windows made without an owner that could lend them its runner; it
  // lives until the program ends.
  static CWindowJobs& Shared();

 private:
  QThreadPool m_pool;
  std::unique_ptr<QObject> m_relay;
  int m_running = 0;
};
