#pragma once

#include <memory>
#include <string>

#include <QObject>
#include <QString>
#include <QStringList>

#include "services/startup.h"

class CStopSignal;
class CVantrelDlg;
class QLocalServer;

// How the application object is started; tests change the defaults.
struct AppOptions {
  // The single-instance server; empty: one per user and program directory.
  QString serverName;
  bool offerAutoStart = true;
  bool loadWebPanel = true;
  // End through "退出" on SIGTERM and SIGINT.
  bool handleStopSignals = true;
};

// The application object (`CVantrelApp`): its construction loads what the
// program works with (run-time files, shop rules, tasks, settings); Start
// refuses a second instance and a machine without network, hands over to
// the updater when an update is due, and otherwise opens the main window,
// hidden for "hidewnd".
class CVantrelApp : public QObject {
  Q_OBJECT
 public:
  explicit CVantrelApp(AppOptions options = {});
  ~CVantrelApp() override;

  // What the windows need from the desktop: message boxes for ShowMessage,
  // the browser for links. Called once after the QApplication exists.
  static void InstallGuiServices();
  // The name of the single-instance server, per user and program directory.
  static QString DefaultServerName();

  // Start, then the event loop until the main window ends; the exit status.
  int InitInstance(const QStringList& arguments);
  // Everything up to a running main window; false when the program is to end
  // at once (another instance runs, no network, the updater took over).
  bool Start(const QStringList& arguments);

  // True when another instance answers; it is told to show its window.
  bool FindRunningInstance();

  AppData& Data() { return m_data; }
  CVantrelDlg* MainWindow() const { return m_window.get(); }

 private:
  void ListenForOtherInstances();
  void OnOtherInstance();

  AppOptions m_options;
  AppData m_data;
  QLocalServer* m_server = nullptr;
  CStopSignal* m_stopSignal = nullptr;
  std::unique_ptr<CVantrelDlg> m_window;
};
