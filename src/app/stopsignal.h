#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (and SIGINT) turned into a signal on the GUI thread: the handler
// only writes a byte into a pipe, whose reading end the event loop watches.
// The updater ends a running program this way and relies on it ending as
// "退出" does. One instance per process.
class CStopSignal : public QObject {
  Q_OBJECT
 public:
  explicit CStopSignal(QObject* parent = nullptr);
  ~CStopSignal() override;

 signals:
  void stopRequested();

 private:
  void OnReadable();

  QSocketNotifier* m_notifier = nullptr;
};
