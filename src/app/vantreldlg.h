#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QWidget>

#include "app/windoweventsink.h"
#include "engine/addtask.h"
#include "engine/coalescedsave.h"
#include "engine/tasklist.h"
#include "engine/timerqueue.h"
#include "services/account.h"
#include "services/notify.h"
#include "services/productservices.h"
#include "services/shoplinks.h"
#include "services/startup.h"

class CButtonST;
class CChangeListDlg;
class CCompPriceDlg;
class CHisPriceDlg;
class CMyPanelDlg;
class CUserPanelDlg;
class CWindowJobs;
class CSearchListDlg;
class CSiteListDlg;
class CTaskListCtrl;
class CTracker;
class QLabel;
class QLineEdit;
class QMenu;
class QSystemTrayIcon;
class QTimer;

// What the main window starts with besides the shop rules and the tasks.
struct MainWindowOptions {
  std::string title;    // caption, local code page
  std::string version;  // the program version for the status text
  AppSettings settings;
  // The tracking timers' clock; null is the system's. Tests move their own.
  std::shared_ptr<TimerClock> clock;
  // Ask about autostart once the window is up.
  bool offerAutoStart = true;
  // Fetch the side-panel page.
  bool loadWebPanel = true;
};

// The program's main window (`CVantrelDlg`): toolbar, counters, search,
// task list, change list and search results above it, the right-hand column
// with the account area and three panels, and the tray icon. It owns the
// tracking timers and receives every event of the worker threads.
class CVantrelDlg : public QWidget, private WindowEventHandler {
  Q_OBJECT
 public:
  // The three switchable panels of the right-hand column.
  enum class Panel { kWeb, kComparison, kHistory };

  CVantrelDlg(CSiteList& sites, CTaskList& tasks, MainWindowOptions options,
              QWidget* parent = nullptr);
  ~CVantrelDlg() override;

  EventSink& Events() { return *m_events; }
  CTracker& Tracker() { return *m_tracker; }
  CTaskListCtrl& TaskList() { return *m_list; }
  CSearchListDlg& SearchPanel() { return *m_search; }
  CChangeListDlg& ChangePanel() { return *m_changes; }
  // Where the window's blocking work (the program's servers, downloads) runs.
  CWindowJobs& Jobs() { return *m_jobs; }
  // The window's commands leave tasks.xml to a saver thread (the window
  // thread never waits on the file's lock); this writes what they left.
  void FlushTaskFile();

  // The counters of the status line.
  int TotalCount() const;
  int TrackingCount() const;
  int PausedCount() const;
  int ChangeCount() const;

  // ---- commands ----
  // "新建任务": runs the add window, then AddNewTask with its choices.
  void NewTask();
  // The placeholder row and the add worker for a product the user chose.
  void AddNewTask(const AddChoices& choices);
  void StartSelected();
  void PauseSelected();
  // On a worker thread; the rows go as the worker reports.
  void DeleteSelected();
  void StartAll();
  void PauseAll();
  void DeleteAll();
  void SelectAll();
  void InvertSelection();
  void EditSelected();
  void BatchEditSelected();
  // "导入任务…" / "导出任务…": the task list from and to a JSON or CSV file.
  void ImportTaskFile(const QString& path);
  void ExportTaskFile(const QString& path);
  void OpenSelectedProduct();
  void ShowHelp();
  void ShowAbout();
  void ShowSettings();
  void EnableAutoStart();
  void CheckForUpdates();
  void ShareSelected(int site);
  void ShareProgramTo(int site);
  // "搜索" with the box's text.
  void Search();
  void SetSearchText(const QString& text);
  // "显示主界面": shows the window normally and brings it forward.
  void ShowMainWindow();
  // "退出": ends tracking and closes the window for good.
  void Exit();
  // The task list's context menu as it would open now (greyed items
  // included); the caller owns it.
  QMenu* CreateContextMenu();
  QMenu* TrayMenu() const { return m_trayMenu; }
  void ShowPanel(Panel panel);
  Panel VisiblePanel() const;
  int CurrentRow() const { return m_currentRow; }
  void SetCurrentRow(int row) { m_currentRow = row; }
  // Selects, focuses and shows the row of this product link.
  void SelectTaskByUrl(const std::string& url);
  bool IsBlinking() const { return m_blinking; }
  // What flashes the caption for a change while the window shows but is not
  // active; empty is QApplication::alert. Tests count the flashes.
  void SetCaptionFlasher(std::function<void()> flash) { m_flashCaption = std::move(flash); }
  // The delete worker has finished (tests wait for it).
  bool IsDeleting() const;

  // ---- events (window thread) ----
  void OnUpdateData(const std::shared_ptr<CTask>& task, const std::string& picture) override;
  void OnUpdateChangeData(const std::shared_ptr<CTask>& task,
                          const std::shared_ptr<const CTask>& seen) override;
  void OnQuietChange(const std::shared_ptr<CTask>& task,
                     const std::shared_ptr<const CTask>& seen) override;
  void OnFetchAlert(const std::shared_ptr<CTask>& task, const std::shared_ptr<const CTask>& seen,
                    const std::string& alertText) override;

 signals:
  // The window was closed for good ("退出" or a close request).
  void exitRequested();
  void deleteFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void OnChangePopup(const std::string& text, const std::string& url, const std::string& gotoUrl,
                     const DealNote& note) override;
  // A change arrived: its row in the change list; `alert` also blinks the
  // tray or flashes the caption.
  void TakeChange(const std::shared_ptr<CTask>& task, const std::shared_ptr<const CTask>& seen,
                  const std::string& alertText, bool alert);
  // The change list shown, with the window ("去看看" of the summary pop-up).
  void ShowChanges();
  void OnPlaySound(const std::string& path) override;
  bool OnImportProgress(const CTaskImportStatus& status) override;
  bool OnUploadProgress(const CTaskImportStatus& status) override;

  void CreateToolbar();
  void CreateStatusLine();
  void CreateRightColumn();
  void CreateTray();
  // The signed-in panel when an account is stored, else the sign-in panel;
  // the account also becomes the one the add and delete workers report to.
  void ShowAccountPanel();
  void CreateMenus();
  void AppendTaskRows();
  void LayOut();
  void UpdateCounters();
  void UpdateStatusText();
  void OnRowClicked(int row, int column, int hit, int shareSite);
  void OnTrayActivated(int reason);
  void OnBlinkTick();
  void StartBlinking();
  void StopBlinking();
  void OnDeleteFinished();
  void OnSearchClosed();
  void OnSearchDeleted(int row);
  // Shows what another process changed in tasks.xml: rows of deleted tasks
  // go, every row is filled again, added tasks get rows.
  void OnTasksMerged(const std::vector<TaskPtr>& added, const std::vector<TaskPtr>& removed);
  void OnChangesClosed();
  void OpenShopLink(const std::string& url, const std::string& gotoUrl);
  // Keeps a looked-up shop link in the task and tasks.xml, and refreshes its row.
  ShopLinkTaskStore LinkStore();
  // The edited task's shop link, looked up on a worker.
  void TakeBuyLinkLater(const TaskPtr& task);
  // The share site of the n-th share icon of a row.
  static int ShareSiteOfIcon(int icon);
  // "退出": tray icon gone, timers deleted, tasks.xml saved; the window's
  // loop then ends.
  void StopTracking();
  // At destruction: running passes and workers finished, tasks.xml saved.
  void Shutdown();

  // Rows by product link, last first, compared without regard to case.
  std::vector<int> RowsOf(const std::string& url) const;
  TaskPtr TaskOfRow(int row) const;
  // Selected rows' tasks in the task list, in row order.
  std::vector<TaskPtr> SelectedTasks() const;
  void StartTasks(const std::vector<int>& rows, bool staggered);
  void PauseTasks(const std::vector<int>& rows);
  void SaveTaskFile();
  void FillRowOf(const TaskPtr& task);
  TaskEnvironment Environment();

  CSiteList& m_sites;
  CTaskList& m_tasks;
  MainWindowOptions m_options;
  CWindowEventSink* m_events;
  // Saves tasks.xml for the window's commands, off the window thread.
  std::unique_ptr<CCoalescedSave> m_taskFileSave;
  std::unique_ptr<CWindowJobs> m_jobs;
  // Declared before the tracker: it outlives the passes that tell it.
  std::unique_ptr<CNotifier> m_notifier;
  std::unique_ptr<CTracker> m_tracker;
  std::unique_ptr<CAddWorkers> m_addWorkers;
  std::thread m_deleteWorker;
  bool m_deleting = false;
  bool m_exiting = false;
  bool m_shutDown = false;
  int m_currentRow = -1;

  // Toolbar and status line.
  std::vector<CButtonST*> m_toolbar;
  QLabel* m_logo = nullptr;
  CButtonST* m_menuButton = nullptr;
  CButtonST* m_shareButton = nullptr;
  QLabel* m_counters = nullptr;
  CButtonST* m_viewChanges = nullptr;
  QLineEdit* m_searchEdit = nullptr;
  CButtonST* m_searchButton = nullptr;
  CTaskListCtrl* m_list = nullptr;
  CSearchListDlg* m_search = nullptr;
  CChangeListDlg* m_changes = nullptr;
  int m_changeCount = 0;

  // Right-hand column and bottom line.
  CAccount m_account;
  // What the add and delete workers report to; ShowAccountPanel keeps it current.
  std::shared_ptr<CPublishedAccount> m_publishedAccount = std::make_shared<CPublishedAccount>();
  QWidget* m_accountArea = nullptr;
  CUserPanelDlg* m_userPanel = nullptr;
  CMyPanelDlg* m_myPanel = nullptr;
  std::vector<CButtonST*> m_tabs;
  CSiteListDlg* m_webPanel = nullptr;
  CCompPriceDlg* m_compPanel = nullptr;
  CHisPriceDlg* m_hisPanel = nullptr;
  QLabel* m_statusText = nullptr;
  CButtonST* m_updateButton = nullptr;
  QLabel* m_followLink = nullptr;

  // Menus and tray.
  QMenu* m_mainMenu = nullptr;
  QMenu* m_shareMenu = nullptr;
  QMenu* m_trayMenu = nullptr;
  QSystemTrayIcon* m_tray = nullptr;
  QTimer* m_blinkTimer = nullptr;
  // Looks now and then whether another process saved tasks.xml.
  QTimer* m_refreshTimer = nullptr;
  bool m_blinking = false;
  bool m_blinkPhase = false;
  std::function<void()> m_flashCaption;
};
