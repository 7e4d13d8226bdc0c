// The main window's commands on tasks and the events of the worker threads.
#include <algorithm>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>

#include "app/aboutdlg.h"
#include "app/batcheditdlg.h"
#include "app/changelistdlg.h"
#include "app/configdlg.h"
#include "app/hispricedlg.h"
#include "app/notifysound.h"
#include "app/popmsgdlg.h"
#include "app/searchlistdlg.h"
#include "app/shoplinkopen.h"
#include "app/taskadddlg.h"
#include "app/taskeditdlg.h"
#include "app/vantreldlg.h"
#include "app/windowjobs.h"
#include "base/autostart.h"
#include "base/files.h"
#include "base/hosts.h"
#include "base/message.h"
#include "base/openlink.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "base/timetext.h"
#include "controls/qtext.h"
#include "controls/skinbutton.h"
#include "controls/tasklistctrl.h"
#include "engine/nocase.h"
#include "engine/productfiles.h"
#include "engine/site.h"
#include "engine/tracking.h"
#include "services/productservices.h"
#include "services/share.h"
#include "services/shoplinks.h"
#include "services/startup.h"
#include "services/taskexport.h"
#include "services/updatecheck.h"

TaskEnvironment CVantrelDlg::Environment() {
  return TaskEnvironment{m_sites, m_tasks, *m_events, m_tracker.get(),
                         ProgramProductServices(&m_sites, m_publishedAccount)};
}

std::vector<int> CVantrelDlg::RowsOf(const std::string& url) const {
  std::vector<int> rows;
  const CTaskListModel& model = m_list->Model();
  for (int row = model.rowCount() - 1; row >= 0; --row)
    if (EqualNoCase(model.RowUrl(row), url)) rows.push_back(row);
  return rows;
}

TaskPtr CVantrelDlg::TaskOfRow(int row) const {
  return m_tasks.FindByUrl(m_list->Model().RowUrl(row));
}

std::vector<TaskPtr> CVantrelDlg::SelectedTasks() const {
  std::vector<TaskPtr> tasks;
  for (int row : m_list->SelectedRows())
    if (TaskPtr task = TaskOfRow(row)) tasks.push_back(task);
  return tasks;
}

void CVantrelDlg::SaveTaskFile() {
  // Another process may hold tasks.xml's lock for seconds: the window
  // thread leaves the save to the saver, which tells of a failure.
  m_taskFileSave->MarkChanged();
}

void CVantrelDlg::FillRowOf(const TaskPtr& task) {
  if (!task) return;
  for (int row : RowsOf(task->GetUrl())) m_list->Model().FillRow(row, *task, false);
}

// ---- "UpdateData" ----

void CVantrelDlg::OnUpdateData(const std::shared_ptr<CTask>& task, const std::string& picture) {
  if (!task) return;
  CTaskListModel& model = m_list->Model();
  const std::string mode = task->GetAddMode();
  const std::string url = task->GetUrl();
  const QString fetching = LoadQString(IDS_STATE_FETCHING);
  // A failure is told once the counters are up to date.
  bool removeFailed = false;
  auto removeRow = [&model, &removeFailed](int row) {
    if (!model.RemoveRow(row)) removeFailed = true;
  };

  if (EqualNoCase(mode, "del_faild_init")) {
    for (int row : RowsOf(url))
      if (model.CellText(row, kColumnState) == fetching) removeRow(row);
  } else if (EqualNoCase(mode, "del_dup_init")) {
    m_list->DeselectAll();
    // Rows come last first, so removing one never moves a row still to visit.
    std::vector<int> kept;
    for (int row : RowsOf(url)) {
      if (model.CellText(row, kColumnState) == fetching) {
        removeRow(row);
        for (int& k : kept) --k;
      } else {
        kept.push_back(row);
      }
    }
    if (!kept.empty()) {
      m_currentRow = kept.back();
      m_list->SelectOnly(m_currentRow);
    }
  } else if (EqualNoCase(mode, "del")) {
    for (int row : RowsOf(url)) removeRow(row);
  } else if (m_tasks.IndexOf(task.get()) < 0) {
    // About a task that left the list (deleted or replaced) while the event
    // waited: its row, if any, is someone else's now.
    return;
  } else {
    const bool adding = EqualNoCase(mode, "add") || EqualNoCase(mode, "import");
    std::vector<int> rows = RowsOf(url);
    // An imported task gets its row here; an added one whose placeholder row
    // was deleted meanwhile too. A repeated event refreshes the row instead.
    if (rows.empty() && adding)
      rows.push_back(model.AppendRow(task, picture.empty() ? BlankPicturePath() : picture, true));
    for (int row : rows) {
      model.SetTask(row, task);
      if (!picture.empty()) model.SetPicture(row, picture);
      model.FillRow(row, *task, !picture.empty());
      if (adding) model.SetCounted(row, true);
    }
    // A pass of the task whose history shows may have added a point to it.
    if (VisiblePanel() == Panel::kHistory && m_currentRow >= 0 && TaskOfRow(m_currentRow) == task)
      m_hisPanel->RefreshHistory(task->GetPriceHistory());
  }
  UpdateCounters();
  if (removeFailed) ShowMessage(IDS_DELETE_TASK_FAILED, kMessageInfo);
}

void CVantrelDlg::OnUpdateChangeData(const std::shared_ptr<CTask>& task,
                                     const std::shared_ptr<const CTask>& seen) {
  TakeChange(task, seen, std::string(), true);
}

void CVantrelDlg::OnQuietChange(const std::shared_ptr<CTask>& task,
                                const std::shared_ptr<const CTask>& seen) {
  TakeChange(task, seen, std::string(), false);
}

void CVantrelDlg::OnFetchAlert(const std::shared_ptr<CTask>& task,
                               const std::shared_ptr<const CTask>& seen,
                               const std::string& alertText) {
  TakeChange(task, seen, alertText, true);
}

void CVantrelDlg::TakeChange(const std::shared_ptr<CTask>& task,
                             const std::shared_ptr<const CTask>& seen, const std::string& alertText,
                             bool alert) {
  if (!task || !seen || m_tasks.IndexOf(task.get()) < 0) return;
  m_changes->AddChange(*seen, alertText);
  m_viewChanges->show();
  LayOut();
  if (!alert) return;
  if (isHidden()) {
    if (!m_blinking) StartBlinking();
  } else if (!isActiveWindow()) {
    if (m_flashCaption)
      m_flashCaption();
    else
      QApplication::alert(this);
  }
}

void CVantrelDlg::OnChangePopup(const std::string& text, const std::string& url,
                                const std::string& gotoUrl, const DealNote& note) {
  CPopMsgContext context;
  context.popMsgAutoClose = [this] { return m_options.settings.popMsgAutoClose; };
  context.linkStore = LinkStore();
  context.jobs = m_jobs.get();
  context.openChanges = [window = QPointer<CVantrelDlg>(this)] {
    if (window) window->ShowChanges();
  };
  ShowPopMsg(text, url, gotoUrl, context, note);
}

void CVantrelDlg::ShowChanges() {
  ShowMainWindow();
  if (m_changes->RowCount() == 0) return;
  m_changes->show();
  LayOut();
}

void CVantrelDlg::OnPlaySound(const std::string& path) { PlayNotifySound(path); }

// The import and upload windows take their workers' progress directly; none
// reaches the main window, and one that did would stop its worker.
bool CVantrelDlg::OnImportProgress(const CTaskImportStatus&) { return false; }
bool CVantrelDlg::OnUploadProgress(const CTaskImportStatus&) { return false; }

// ---- new task ----

void CVantrelDlg::NewTask() {
  CTaskAddDlg dialog(m_sites, this);
  if (dialog.exec() != CTaskAddDlg::kAddButton) return;
  AddNewTask(dialog.GetChoices());
}

void CVantrelDlg::AddNewTask(const AddChoices& choices) {
  TaskEnvironment environment = Environment();
  TaskPtr task = MakePlaceholderTask(choices, environment.services);
  task->SetLastUpdate(FormatNowText());
  const int row = m_list->Model().AppendRow(task, BlankPicturePath(), false);
  m_list->scrollTo(m_list->Model().index(row, kColumnName));
  m_addWorkers->StartAdd(task);
}

// ---- start and pause ----

void CVantrelDlg::StartTasks(const std::vector<int>& rows, bool staggered) {
  CTaskListModel& model = m_list->Model();
  for (int row : rows) {
    TaskPtr task = TaskOfRow(row);
    if (!task || task->GetStatus() == 1) continue;
    task->SetStatus(1);
    model.FillRow(row, *task, false);
    const std::int64_t due = staggered ? row * m_options.settings.sleepTimeMs : 0;
    m_tracker->ScheduleTask(due, TaskPeriodMs(*task), task);
  }
  // The counters are right before a failed save can show its box.
  UpdateCounters();
  SaveTaskFile();
}

void CVantrelDlg::PauseTasks(const std::vector<int>& rows) {
  CTaskListModel& model = m_list->Model();
  for (int row : rows) {
    TaskPtr task = TaskOfRow(row);
    if (!task || task->GetStatus() != 1) continue;
    task->SetStatus(0);
    model.FillRow(row, *task, false);
    m_tracker->UnscheduleTask(task->GetUrl());
  }
  // The counters are right before a failed save can show its box.
  UpdateCounters();
  SaveTaskFile();
}

static std::vector<int> AllRows(int count) {
  std::vector<int> rows(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) rows[static_cast<size_t>(i)] = i;
  return rows;
}

void CVantrelDlg::StartSelected() { StartTasks(m_list->SelectedRows(), false); }
void CVantrelDlg::PauseSelected() { PauseTasks(m_list->SelectedRows()); }
void CVantrelDlg::StartAll() { StartTasks(AllRows(m_list->Model().rowCount()), true); }
void CVantrelDlg::PauseAll() { PauseTasks(AllRows(m_list->Model().rowCount())); }

// ---- delete ----

void CVantrelDlg::DeleteSelected() {
  if (m_deleting) return;
  std::vector<TaskPtr> tasks = SelectedTasks();
  if (tasks.empty()) return;
  if (m_deleteWorker.joinable()) m_deleteWorker.join();
  m_deleting = true;
  m_deleteWorker = std::thread([this, environment = Environment(), tasks] {
    for (const TaskPtr& task : tasks) DeleteTask(environment, task);
    m_events->PostToWindowThread([this] { OnDeleteFinished(); });
  });
}

bool CVantrelDlg::IsDeleting() const { return m_deleting; }

void CVantrelDlg::OnDeleteFinished() {
  if (m_deleteWorker.joinable()) m_deleteWorker.join();
  m_deleting = false;
  m_currentRow = -1;
  ShowPanel(Panel::kWeb);
  // The counters are right before a failed save can show its box.
  UpdateCounters();
  SaveTaskFile();
  emit deleteFinished();
}

void CVantrelDlg::DeleteAll() {
  if (m_deleting) return;
  CTaskListModel& model = m_list->Model();
  bool removeFailed = false;
  while (model.rowCount() > 0) {
    TaskPtr task = TaskOfRow(0);
    if (task) m_tasks.RemoveTaskAt(task);
    if (!model.RemoveRow(0)) {
      removeFailed = true;
      break;
    }
    if (!task) continue;
    m_tracker->UnscheduleTask(task->GetUrl());
    // A pass still running for it must not write its files again.
    task->SetAddMode("del");
    DeleteProductFiles(*task, m_tasks);
  }
  m_currentRow = -1;
  ShowPanel(Panel::kWeb);
  // The counters are right before a failed save can show its box.
  UpdateCounters();
  if (removeFailed) ShowMessage(IDS_DELETE_TASK_FAILED, kMessageInfo);
  SaveTaskFile();
}

// ---- selection ----

void CVantrelDlg::SelectAll() { m_list->SelectAllRows(); }
void CVantrelDlg::InvertSelection() { m_list->InvertSelection(); }

void CVantrelDlg::SelectTaskByUrl(const std::string& url) {
  const std::vector<int> rows = RowsOf(url);
  if (rows.empty()) return;
  m_list->SelectOnly(rows.back());
}

// ---- edit ----

void CVantrelDlg::EditSelected() {
  const std::vector<int> rows = m_list->SelectedRows();
  if (rows.empty()) return;
  const int row = rows.front();
  TaskPtr old = TaskOfRow(row);
  if (!old) return;
  CTaskEditDlg dialog(*old, m_sites, this);
  if (dialog.exec() != CTaskEditDlg::kEditButton) return;

  CTaskValues values = dialog.GetValues();
  values.lastUpdate = FormatNowText();
  auto task = std::make_shared<CTask>(std::move(values));
  task->SetCompareInfo(old->GetCompareInfo());
  task->SetPriceHistory(old->GetPriceHistory());
  task->SetPriceState(old->GetPriceState());
  task->SetStockState(old->GetStockState());
  if (!m_tasks.SetTaskAt(old, task)) {
    ShowMessage(IDS_UPDATE_TASK_FAILED, kMessageInfo);
    return;
  }
  const bool wasTracked = old->GetStatus() == 1;
  const bool tracked = task->GetStatus() == 1;
  const bool periodChanged = TaskPeriodMs(*old) != TaskPeriodMs(*task);
  m_tracker->UnscheduleTask(old->GetUrl());
  // The old timer fires for the old task, which has left the list: a task
  // that stays tracked gets its own timer even when its period is the same.
  if (tracked) {
    const std::int64_t period = TaskPeriodMs(*task);
    m_tracker->ScheduleTask(wasTracked && !periodChanged ? period : 0, period, task);
  }
  m_list->Model().SetTask(row, task);
  m_list->Model().FillRow(row, *task, false);
  UpdateCounters();
  SaveTaskFile();
  TakeBuyLinkLater(task);
}

void CVantrelDlg::TakeBuyLinkLater(const TaskPtr& task) {
  if (BuyLinkShopKey(task->GetSiteDomain()).empty()) return;
  m_jobs->Run(
      this,
      [services = Environment().services, url = task->GetUrl(), domain = task->GetSiteDomain()] {
        return LookUpBuyLink(services, url, domain);
      },
      [this, task](const std::string& link) {
        // The task may have been edited or deleted again meanwhile.
        if (link.empty() || m_tasks.IndexOf(task.get()) < 0) return;
        task->SetGotoUrl(link);
        FillRowOf(task);
        SaveTaskFile();
      });
}

void CVantrelDlg::BatchEditSelected() {
  const std::vector<int> rows = m_list->SelectedRows();
  if (rows.empty()) return;
  TaskPtr first = TaskOfRow(rows.front());
  CBatchEditDlg dialog(this, first ? first->GetFrequencyHour() : std::string(),
                       first ? first->GetFrequencyMinute() : std::string());
  if (dialog.exec() != CBatchEditDlg::kEditButton) return;
  const std::string hour = dialog.GetFrequencyHour();
  const std::string minute = dialog.GetFrequencyMinute();
  for (int row : rows) {
    TaskPtr task = TaskOfRow(row);
    if (!task) continue;
    if (task->GetFrequencyHour() == hour && task->GetFrequencyMinute() == minute) continue;
    task->SetFrequencyHour(hour);
    task->SetFrequencyMinute(minute);
    if (task->GetStatus() == 1) {
      m_tracker->UnscheduleTask(task->GetUrl());
      m_tracker->ScheduleTask(0, TaskPeriodMs(*task), task);
    }
    SaveTaskFile();
    m_list->Model().FillRow(row, *task, false);
  }
}

// ---- links, dialogs, sharing ----

ShopLinkTaskStore CVantrelDlg::LinkStore() {
  return ShopLinkTaskStore{&m_tasks, ProgramFile("tasks.xml"), [this](const TaskPtr& task) {
                             m_events->PostUpdateData(task, std::string());
                           }};
}

void CVantrelDlg::OpenShopLink(const std::string& url, const std::string& gotoUrl) {
  OpenShopLinkLater(*m_jobs, this, url, gotoUrl, LinkStore());
}

void CVantrelDlg::OpenSelectedProduct() {
  const std::vector<int> rows = m_list->SelectedRows();
  if (rows.empty()) return;
  const CTaskListModel& model = m_list->Model();
  OpenShopLink(model.RowUrl(rows.front()), ToLocal(model.CellText(rows.front(), kColumnGotoUrl)));
}

void CVantrelDlg::ShowHelp() { OpenLink(HostValue(kHostHelp)); }

void CVantrelDlg::ShowAbout() {
  CAboutDlg dialog(this);
  dialog.exec();
}

void CVantrelDlg::ImportTaskFile(const QString& path) {
  std::string bytes;
  std::vector<ExportedTask> entries;
  std::string error = "can't be read";
  if (!ReadWholeFile(ToLocal(path), bytes) || !ReadExportedTasks(bytes, entries, error)) {
    ShowMessageText(0, kMessageInfo,
                    ToLocal(QStringLiteral("导入任务失败，没有添加任何任务：%1\n%2")
                                .arg(path, QString::fromUtf8(error.c_str()))));
    return;
  }
  // The account import's path: rows, files and timers follow from the list.
  // The imported histories are written under their folder's lock, which the
  // window thread never waits on.
  const ImportOutcome outcome = m_jobs->Wait([this, &entries] {
    return ImportExportedTasks(
        entries, m_tasks, [this](const TaskPtr& task) { return m_addWorkers->StartImport(task); });
  });
  const auto skipped = static_cast<long long>(entries.size() - outcome.added.size());
  ShowMessageText(IDS_TASK_FILE_IMPORTED, kMessageInfo,
                  ToLocal(LoadQString(IDS_TASK_FILE_IMPORTED)
                              .arg(static_cast<long long>(outcome.added.size()))
                              .arg(skipped)));
}

void CVantrelDlg::ExportTaskFile(const QString& path) {
  const bool csv = path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
  const std::vector<ExportedTask> entries = CollectExportedTasks(m_tasks, !csv);
  // The dialog asked before an existing file is replaced; links and special
  // files are still never replaced from here.
  std::string problem;
  if (!WriteUserFile(ToLocal(path), csv ? ExportCsv(entries) : ExportJson(entries), false, problem))
    ShowMessageText(0, kMessageInfo, ToLocal(QStringLiteral("导出任务失败：%1").arg(path)));
}

void CVantrelDlg::ShowSettings() {
  CConfigContext context;
  context.shareIconSize = m_options.settings.shareIconSize;
  context.listTextSize = m_options.settings.listTextSize;
  context.popMsgAutoClose = m_options.settings.popMsgAutoClose;
  context.msgPop = m_options.settings.msgPop;
  context.popMsgAutoCloseChanged = [this](int value) {
    m_options.settings.popMsgAutoClose = value;
  };
  context.failAlert = m_options.settings.failAlert;
  context.failAlertChanged = [this](int value) {
    m_options.settings.failAlert = value;
    if (m_tracker) m_tracker->SetFailAlert(value);
  };
  context.realDealsOnly = m_options.settings.realDealsOnly;
  context.realDealsOnlyChanged = [this](bool on) {
    m_options.settings.realDealsOnly = on;
    if (m_tracker) m_tracker->SetRealDealsOnly(on);
  };
  context.msgPopChanged = [this](int value) {
    m_options.settings.msgPop = value;
    if (m_tracker) m_tracker->SetMsgPop(value);
  };
  context.refreshSiteRules = [this] {
    // The rules are downloaded on a worker; the windows go on meanwhile.
    const bool refreshed = m_jobs->Wait([this] { return RefreshSiteRules(m_sites); });
    UpdateStatusText();
    return refreshed;
  };
  if (m_notifier) {
    context.notify.statuses = [this] { return m_notifier->Statuses(); };
    context.notify.sendTest = [this](NotifyChannel channel) {
      m_notifier->TellChannel(channel, MakeTestMessage());
    };
  }
  CConfigDlg dialog(std::move(context), this);
  dialog.exec();
}

void CVantrelDlg::EnableAutoStart() {
  const unsigned result = SetAutoStart(true);
  if (result != 0) ShowMessage(result, kMessageInfo);
}

void CVantrelDlg::CheckForUpdates() {
  // The check downloads the update information; its boxes come to this
  // thread by themselves.
  m_jobs->Run(
      this, [version = m_sites.GetVersion()] { return RunUpdateCommand(version); }, [](bool) {});
}

// ---- search ----

void CVantrelDlg::SetSearchText(const QString& text) { m_searchEdit->setText(text); }

void CVantrelDlg::Search() {
  const QString text = m_searchEdit->text();
  if (text.isEmpty() || text.compare(m_searchEdit->placeholderText(), Qt::CaseInsensitive) == 0)
    return;
  const QString keyword = text.toLower();
  m_list->DeselectAll();
  std::vector<TaskPtr> found;
  for (const TaskPtr& task : m_tasks.Tasks())
    if (task->GetStatus() == 1 && SearchMatches(*task, keyword)) found.push_back(task);
  m_search->ShowResults(found);
  m_search->show();
  LayOut();
}

void CVantrelDlg::OnSearchClosed() {
  m_search->Clear();
  m_search->hide();
  LayOut();
}

void CVantrelDlg::OnSearchDeleted(int row) {
  m_search->DeleteResult(row);
  if (m_search->RowCount() == 0) m_search->hide();
  LayOut();
}

void CVantrelDlg::OnChangesClosed() {
  m_changeCount = 0;
  m_viewChanges->hide();
  UpdateCounters();
  LayOut();
}

// ---- menus ----

// The share index of a product or program share command.
static int ShareSiteOfCommand(unsigned id) {
  for (int site = 0; site < kShareSiteCount; ++site)
    if (ShareProductCommand(site) == id || ShareProgramCommand(site) == id) return site;
  return -1;
}

namespace {

struct MenuItem {
  unsigned id;
  const char* caption;
};

// The nine product-share items of the context menu and the nine program-share
// items of the share button, in the order of the row's share icons.
const MenuItem kShareProductItems[kShareIconCount] = {
    {32810, "分享到QQ空间"},   {32792, "分享到新浪微博"}, {32794, "分享到腾讯微博"},
    {32797, "分享到人人网"},   {32796, "分享到开心网"},   {32798, "分享到豆瓣"},
    {32793, "分享到搜狐微博"}, {32795, "分享到网易微博"}, {32811, "分享到百度空间"}};
const MenuItem kShareProgramItems[kShareIconCount] = {
    {32808, "QQ空间"},   {32801, "新浪微博"}, {32803, "腾讯微博"},
    {32806, "人人网"},   {32805, "开心网"},   {32807, "豆瓣网"},
    {32802, "搜狐微博"}, {32804, "网易微博"}, {32809, "百度空间"}};

QAction* AddItem(QMenu* menu, unsigned id, const char* caption) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setData(id);
  action->setObjectName(QStringLiteral("cmd%1").arg(id));
  return action;
}

}  // namespace

QMenu* CVantrelDlg::CreateContextMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("menu136"));
  const size_t selected = m_list->SelectedRows().size();
  std::vector<QAction*> needSelection;
  needSelection.push_back(AddItem(menu, 32784, "开始任务"));
  connect(needSelection.back(), &QAction::triggered, this, &CVantrelDlg::StartSelected);
  needSelection.push_back(AddItem(menu, 32785, "暂停任务"));
  connect(needSelection.back(), &QAction::triggered, this, &CVantrelDlg::PauseSelected);
  needSelection.push_back(AddItem(menu, 32786, "删除任务"));
  connect(needSelection.back(), &QAction::triggered, this, &CVantrelDlg::DeleteSelected);
  menu->addSeparator();
  connect(AddItem(menu, 32777, "全选"), &QAction::triggered, this, &CVantrelDlg::SelectAll);
  connect(AddItem(menu, 32778, "反选"), &QAction::triggered, this, &CVantrelDlg::InvertSelection);
  menu->addSeparator();
  QAction* edit = AddItem(menu, 32779, "编辑任务");
  connect(edit, &QAction::triggered, this, &CVantrelDlg::EditSelected);
  needSelection.push_back(edit);
  needSelection.push_back(AddItem(menu, 32812, "批量编辑任务"));
  connect(needSelection.back(), &QAction::triggered, this, &CVantrelDlg::BatchEditSelected);
  menu->addSeparator();
  needSelection.push_back(AddItem(menu, 32783, "访问该商品"));
  connect(needSelection.back(), &QAction::triggered, this, &CVantrelDlg::OpenSelectedProduct);
  QMenu* share = menu->addMenu(QStringLiteral("分享到"));
  for (int i = 0; i < kShareIconCount; ++i) {
    QAction* item = AddItem(share, kShareProductItems[i].id, kShareProductItems[i].caption);
    const int site = ShareSiteOfCommand(kShareProductItems[i].id);
    connect(item, &QAction::triggered, this, [this, site] { ShareSelected(site); });
    needSelection.push_back(item);
  }
  for (QAction* action : needSelection) action->setEnabled(selected > 0);
  if (selected > 1) edit->setEnabled(false);
  return menu;
}

void CVantrelDlg::CreateMenus() {
  m_mainMenu = new QMenu(this);
  m_mainMenu->setObjectName(QStringLiteral("menu144"));
  connect(AddItem(m_mainMenu, 32771, "新建任务"), &QAction::triggered, this, &CVantrelDlg::NewTask);
  connect(AddItem(m_mainMenu, 32773, "全部开始"), &QAction::triggered, this,
          &CVantrelDlg::StartAll);
  connect(AddItem(m_mainMenu, 32774, "全部暂停"), &QAction::triggered, this,
          &CVantrelDlg::PauseAll);
  connect(AddItem(m_mainMenu, 32775, "全部删除"), &QAction::triggered, this,
          &CVantrelDlg::DeleteAll);
  m_mainMenu->addSeparator();
  connect(AddItem(m_mainMenu, 32777, "全选"), &QAction::triggered, this, &CVantrelDlg::SelectAll);
  connect(AddItem(m_mainMenu, 32778, "反选"), &QAction::triggered, this,
          &CVantrelDlg::InvertSelection);
  connect(AddItem(m_mainMenu, 32812, "批量编辑任务"), &QAction::triggered, this,
          &CVantrelDlg::BatchEditSelected);
  connect(AddItem(m_mainMenu, 32901, "导入任务…"), &QAction::triggered, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("导入任务"), QString(),
                                                      QStringLiteral("任务文件 (*.json *.csv)"));
    if (!path.isEmpty()) ImportTaskFile(path);
  });
  connect(AddItem(m_mainMenu, 32902, "导出任务…"), &QAction::triggered, this, [this] {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("导出任务"), QStringLiteral("tasks.json"),
                                     QStringLiteral("JSON (*.json);;CSV (*.csv)"));
    if (!path.isEmpty()) ExportTaskFile(path);
  });
  m_mainMenu->addSeparator();
  connect(AddItem(m_mainMenu, 1078, "设置"), &QAction::triggered, this, &CVantrelDlg::ShowSettings);
  connect(AddItem(m_mainMenu, 32791, "开机自动启动"), &QAction::triggered, this,
          &CVantrelDlg::EnableAutoStart);
  connect(AddItem(m_mainMenu, 1106, "查找更新"), &QAction::triggered, this,
          &CVantrelDlg::CheckForUpdates);
  connect(AddItem(m_mainMenu, 32800, "在线帮助"), &QAction::triggered, this,
          &CVantrelDlg::ShowHelp);
  connect(AddItem(m_mainMenu, 32788, "关于作者"), &QAction::triggered, this,
          &CVantrelDlg::ShowAbout);
  m_mainMenu->addSeparator();
  connect(AddItem(m_mainMenu, 57665, "退出"), &QAction::triggered, this, &CVantrelDlg::Exit);

  m_shareMenu = new QMenu(this);
  m_shareMenu->setObjectName(QStringLiteral("menu153"));
  for (int i = 0; i < kShareIconCount; ++i)
    connect(AddItem(m_shareMenu, kShareProgramItems[i].id, kShareProgramItems[i].caption),
            &QAction::triggered, this,
            [this, site = ShareSiteOfCommand(kShareProgramItems[i].id)] { ShareProgramTo(site); });

  m_trayMenu = new QMenu(this);
  m_trayMenu->setObjectName(QStringLiteral("menu137"));
  connect(AddItem(m_trayMenu, 32771, "新建任务"), &QAction::triggered, this, &CVantrelDlg::NewTask);
  connect(AddItem(m_trayMenu, 32773, "全部开始"), &QAction::triggered, this,
          &CVantrelDlg::StartAll);
  connect(AddItem(m_trayMenu, 32774, "全部暂停"), &QAction::triggered, this,
          &CVantrelDlg::PauseAll);
  connect(AddItem(m_trayMenu, 32787, "显示主界面"), &QAction::triggered, this, [this] {
    if (!isVisible()) ShowMainWindow();
  });
  m_trayMenu->addSeparator();
  connect(AddItem(m_trayMenu, 57665, "退出"), &QAction::triggered, this, &CVantrelDlg::Exit);

  connect(m_menuButton, &QPushButton::clicked, this, [this] {
    m_mainMenu->popup(m_menuButton->mapToGlobal(QPoint(0, m_menuButton->height())));
  });
  connect(m_shareButton, &QPushButton::clicked, this, [this] {
    m_shareMenu->popup(m_shareButton->mapToGlobal(QPoint(0, m_shareButton->height())));
  });
}

int CVantrelDlg::ShareSiteOfIcon(int icon) {
  if (icon < 0 || icon >= kShareIconCount) return -1;
  return ShareSiteOfCommand(kShareProductItems[icon].id);
}

void CVantrelDlg::ShareSelected(int site) {
  const std::vector<int> rows = m_list->SelectedRows();
  if (rows.empty()) return;
  TaskPtr task = TaskOfRow(rows.front());
  if (!task) return;
  // The product's shop link may have to be looked up first.
  m_jobs->Run(
      this, [site, task, store = LinkStore()] { return ShareProductUrl(site, *task, store); },
      [](const std::string& url) {
        if (!url.empty()) OpenLink(url);
      });
}

void CVantrelDlg::ShareProgramTo(int site) { ShareProgram(site); }
