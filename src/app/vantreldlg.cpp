// The main window: construction, layout, panels, tray icon and shutdown.
#include "app/vantreldlg.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/changelistdlg.h"
#include "app/comppricedlg.h"
#include "app/desktopnotify.h"
#include "app/hispricedlg.h"
#include "app/mypaneldlg.h"
#include "app/popmsgdlg.h"
#include "app/searchlistdlg.h"
#include "app/sitelistdlg.h"
#include "app/userpaneldlg.h"
#include "app/windowjobs.h"
#include "base/autostart.h"
#include "base/files.h"
#include "base/hosts.h"
#include "base/message.h"
#include "base/openlink.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "controls/skin.h"
#include "controls/skinbutton.h"
#include "controls/tasklistctrl.h"
#include "engine/productfiles.h"
#include "engine/renderer.h"
#include "engine/site.h"
#include "engine/tracking.h"
#include "services/pricerecord.h"
#include "services/productservices.h"
#include "services/verdict.h"

namespace {

constexpr int kToolbarHeight = 72;
constexpr int kStatusLineHeight = 34;
constexpr int kBottomLineHeight = 30;
constexpr int kRightColumnWidth = 242;
constexpr int kListBorder = 2;
constexpr int kMargin = 8;
constexpr int kAccountHeight = 80;
constexpr int kTabHeight = 28;
constexpr int kPanelGap = 24;
constexpr int kBlinkMs = 400;
constexpr int kRefreshMs = 2000;
constexpr int kSummaryLineHeight = 26;

struct ToolbarButton {
  unsigned id;
  const char* caption;
  const char* image;
};
const ToolbarButton kToolbarButtons[] = {
    {32771, "新建任务", "imgs/TaskAdd.png"},   {32784, "开始任务", "imgs/TaskStart.png"},
    {32785, "暂停任务", "imgs/TaskPause.png"}, {32786, "删除任务", "imgs/TaskDelete.png"},
    {32780, "设置", "imgs/AppConfig.png"},     {57665, "退出", "imgs/AppExit.png"}};

}  // namespace

CVantrelDlg::CVantrelDlg(CSiteList& sites, CTaskList& tasks, MainWindowOptions options,
                         QWidget* parent)
    : QWidget(parent),
      m_sites(sites),
      m_tasks(tasks),
      m_options(std::move(options)),
      m_events(new CWindowEventSink(*this, this)),
      m_taskFileSave(std::make_unique<CCoalescedSave>(
          [this] { return m_tasks.SaveTasks(ProgramFile("tasks.xml")); },
          [this] {
            // Told on the window thread; the saver never waits for the box.
            m_events->PostToWindowThread([text = SaveTasksFailedText(m_tasks)] {
              ShowMessageText(IDS_SAVE_TASKS_FAILED, kMessageInfo, text);
            });
          },
          std::chrono::milliseconds(200), CCoalescedSave::First::kOnSaverThread)),
      m_jobs(std::make_unique<CWindowJobs>()) {
  setObjectName(QStringLiteral("Vantrel"));
  const QPixmap icon = SkinPixmap(QStringLiteral("imgs/AppIcon.png"));
  if (!icon.isNull()) setWindowIcon(QIcon(icon));
  setFont(UiFont(13));
  setAutoFillBackground(true);
  QPalette background = palette();
  background.setColor(QPalette::Window, QColor(246, 248, 251));
  setPalette(background);

  CreateToolbar();
  CreateStatusLine();
  m_list = new CTaskListCtrl(
      TaskListLook{m_options.settings.listTextSize, m_options.settings.shareIconSize}, this);
  connect(m_list, &CTaskListCtrl::rowClicked, this,
          [this](int row, int column, TaskListHitResult hit) {
            OnRowClicked(row, column, static_cast<int>(hit.hit), hit.shareSite);
          });
  connect(m_list, &CTaskListCtrl::contextMenuAt, this, [this](QPoint at) {
    QMenu* menu = CreateContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(at);
  });
  AppendTaskRows();
  CreateMenus();
  CreateTray();

  m_tracker = std::make_unique<CTracker>(
      m_sites, m_tasks, *m_events,
      TrackingSettings{m_options.settings.sleepTimeMs, m_options.settings.msgPop,
                       m_options.settings.failAlert, m_options.settings.realDealsOnly},
      m_options.clock);
  m_tracker->SetPriceRecorder(RecordTrackedPrice);
  m_tracker->SetDealJudge(JudgeTaskDeal);
  m_notifier = std::make_unique<CNotifier>();
  m_notifier->SetDesktop(ShowDesktopNotification);
  m_tracker->SetTeller(m_notifier->Teller());
  m_tracker->ScheduleAllTasks();
  // Saves of any thread may take in another process's changes; the rows
  // follow on the window thread. The listener goes before the tracker does.
  m_tasks.SetMergeListener(
      [this](const std::vector<TaskPtr>& added, const std::vector<TaskPtr>& removed) {
        m_tracker->TakeInMergedTasks(added, removed);
        QMetaObject::invokeMethod(
            this, [this, added, removed] { OnTasksMerged(added, removed); }, Qt::QueuedConnection);
      });
  m_refreshTimer = new QTimer(this);
  m_refreshTimer->setInterval(kRefreshMs);
  connect(m_refreshTimer, &QTimer::timeout, this,
          [this] { m_tasks.Refresh(ProgramFile("tasks.xml")); });
  m_refreshTimer->start();
  m_addWorkers = std::make_unique<CAddWorkers>(Environment());

  setWindowTitle(FromLocal(m_options.title));
  if (m_options.offerAutoStart) std::thread(OfferAutoStart).detach();

  m_search = new CSearchListDlg(this);
  connect(m_search, &CSearchListDlg::closeRequested, this, &CVantrelDlg::OnSearchClosed);
  connect(m_search, &CSearchListDlg::deleteRequested, this, &CVantrelDlg::OnSearchDeleted);
  connect(m_search, &CSearchListDlg::taskClicked, this,
          [this](const QString& url) { SelectTaskByUrl(ToLocal(url)); });
  connect(m_search, &CSearchListDlg::buyClicked, this,
          [this](const QString& url, const QString& gotoUrl) {
            OpenShopLink(ToLocal(url), ToLocal(gotoUrl));
          });
  m_changes = new CChangeListDlg(this);
  m_changes->hide();
  m_changes->SetShopLinkStore(LinkStore());
  m_changes->SetJobs(m_jobs.get());
  connect(m_changes, &CChangeListDlg::closed, this, &CVantrelDlg::OnChangesClosed);
  connect(m_changes, &CChangeListDlg::countChanged, this, [this](int changes) {
    m_changeCount = changes;
    UpdateCounters();
  });
  connect(m_changes, &CChangeListDlg::taskClicked, this,
          [this](const QString& url) { SelectTaskByUrl(ToLocal(url)); });
  connect(m_changes, &CChangeListDlg::rowCountChanged, this, &CVantrelDlg::LayOut);
  CreateRightColumn();
  ShowPanel(Panel::kWeb);

  auto* selectAll = new QShortcut(QKeySequence(QStringLiteral("Ctrl+A")), this);
  connect(selectAll, &QShortcut::activated, this, &CVantrelDlg::SelectAll);
  auto* newTask = new QShortcut(QKeySequence(QStringLiteral("Ctrl+N")), this);
  connect(newTask, &QShortcut::activated, this, &CVantrelDlg::NewTask);

  UpdateCounters();
  UpdateStatusText();
  resize(1180, 720);
  setMinimumSize(900, 520);
  LayOut();
}

CVantrelDlg::~CVantrelDlg() { Shutdown(); }

void CVantrelDlg::CreateToolbar() {
  m_logo = new QLabel(this);
  m_logo->setObjectName(QStringLiteral("logo"));
  const QPixmap logo = SkinPixmap(QStringLiteral("imgs/LogoTitle.png"));
  if (!logo.isNull()) m_logo->setPixmap(logo);
  for (const ToolbarButton& spec : kToolbarButtons) {
    auto* button = new CButtonST(QString::fromUtf8(spec.caption), this);
    button->setObjectName(QStringLiteral("cmd%1").arg(spec.id));
    button->SetPicture(QString::fromUtf8(spec.image), QSize(36, 36),
                       CButtonST::IconPlacement::kAbove);
    button->setFixedSize(64, 64);
    m_toolbar.push_back(button);
  }
  connect(m_toolbar[0], &QPushButton::clicked, this, &CVantrelDlg::NewTask);
  connect(m_toolbar[1], &QPushButton::clicked, this, &CVantrelDlg::StartSelected);
  connect(m_toolbar[2], &QPushButton::clicked, this, &CVantrelDlg::PauseSelected);
  connect(m_toolbar[3], &QPushButton::clicked, this, &CVantrelDlg::DeleteSelected);
  connect(m_toolbar[4], &QPushButton::clicked, this, &CVantrelDlg::ShowSettings);
  connect(m_toolbar[5], &QPushButton::clicked, this, &CVantrelDlg::Exit);

  m_menuButton = new CButtonST(QString(), this);
  m_menuButton->setObjectName(QStringLiteral("menuButton"));
  m_menuButton->SetBackground(QStringLiteral("imgs/MoreNormal.png"),
                              QStringLiteral("imgs/MoreFocus.png"));
  m_menuButton->setToolTip(QStringLiteral("菜单"));
  m_shareButton = new CButtonST(QString(), this);
  m_shareButton->setObjectName(QStringLiteral("shareButton"));
  m_shareButton->SetBackground(QStringLiteral("imgs/ShareNormal.png"),
                               QStringLiteral("imgs/ShareFocus.png"));
  m_shareButton->setToolTip(QStringLiteral("分享"));
  for (CButtonST* button : {m_menuButton, m_shareButton}) button->setFixedSize(28, 24);
}

void CVantrelDlg::CreateStatusLine() {
  m_counters = new QLabel(this);
  m_counters->setObjectName(QStringLiteral("counters"));
  m_counters->setWordWrap(true);
  m_counters->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_viewChanges = new CButtonST(QStringLiteral("查看变动"), this);
  m_viewChanges->setObjectName(QStringLiteral("viewChangesButton"));
  m_viewChanges->SetBackground(QStringLiteral("imgs/Btn1Bkg.png"),
                               QStringLiteral("imgs/Btn1HotBkg.png"));
  m_viewChanges->setFixedSize(76, 24);
  m_viewChanges->hide();
  connect(m_viewChanges, &QPushButton::clicked, this, [this] {
    m_changes->show();
    LayOut();
  });
  m_searchEdit = new QLineEdit(this);
  m_searchEdit->setObjectName(QStringLiteral("searchEdit"));
  m_searchEdit->setPlaceholderText(QStringLiteral("输入关键词，搜索任务"));
  m_searchEdit->setFixedHeight(26);
  connect(m_searchEdit, &QLineEdit::returnPressed, this, &CVantrelDlg::Search);
  m_searchButton = new CButtonST(QStringLiteral("搜索"), this);
  m_searchButton->setObjectName(QStringLiteral("cmd1192"));
  m_searchButton->SetPicture(QStringLiteral("imgs/Search.png"), QSize(16, 16));
  m_searchButton->setFixedSize(64, 26);
  connect(m_searchButton, &QPushButton::clicked, this, &CVantrelDlg::Search);

  m_statusText = new QLabel(this);
  m_statusText->setObjectName(QStringLiteral("statusText"));
  m_updateButton = new CButtonST(QStringLiteral("查找更新"), this);
  m_updateButton->setObjectName(QStringLiteral("cmd1106"));
  m_updateButton->SetBackground(QStringLiteral("imgs/Btn1Bkg.png"),
                                QStringLiteral("imgs/Btn1HotBkg.png"));
  m_updateButton->setFixedSize(76, 24);
  connect(m_updateButton, &QPushButton::clicked, this, &CVantrelDlg::CheckForUpdates);
  m_followLink = new QLabel(this);
  m_followLink->setObjectName(QStringLiteral("followLink"));
  m_followLink->setText(
      QStringLiteral("<a href=\"follow\" style=\"color:#0a66c2\">"
                     "官网/作者微博一键关注</a>"));
  connect(m_followLink, &QLabel::linkActivated, this, [] { OpenLink(HostValue(kHostFollow)); });
}

void CVantrelDlg::CreateRightColumn() {
  // The signed-in panel and the sign-in panel share one place.
  m_account.username = m_options.settings.username;
  m_account.password = m_options.settings.password;
  m_account.nickname = m_options.settings.nickname;
  m_accountArea = new QWidget(this);
  m_accountArea->setObjectName(QStringLiteral("accountArea"));
  m_userPanel = new CUserPanelDlg(m_account, m_accountArea);
  m_myPanel = new CMyPanelDlg(m_account, *m_addWorkers, m_accountArea);
  for (QWidget* panel : {static_cast<QWidget*>(m_userPanel), static_cast<QWidget*>(m_myPanel)})
    panel->setGeometry(0, 0, kRightColumnWidth, kAccountHeight);
  connect(m_userPanel, &CUserPanelDlg::loggedIn, this, [this] {
    m_myPanel->UpdateNickname();
    ShowAccountPanel();
  });
  connect(m_myPanel, &CMyPanelDlg::loggedOut, this, &CVantrelDlg::ShowAccountPanel);
  ShowAccountPanel();

  const char* captions[] = {"购物网站", "比价格", "价格趋势"};
  const unsigned ids[] = {1132, 1133, 1134};
  for (int i = 0; i < 3; ++i) {
    auto* tab = new CButtonST(QString::fromUtf8(captions[i]), this);
    tab->setObjectName(QStringLiteral("cmd%1").arg(ids[i]));
    tab->SetBackground(QStringLiteral("imgs/NavBtnBkg.png"),
                       QStringLiteral("imgs/NavBtnHotBkg.png"));
    tab->setCheckable(true);
    tab->setFont(UiFont(14, 700));
    m_tabs.push_back(tab);
  }
  connect(m_tabs[0], &QPushButton::clicked, this, [this] { ShowPanel(Panel::kWeb); });
  connect(m_tabs[1], &QPushButton::clicked, this, [this] { ShowPanel(Panel::kComparison); });
  connect(m_tabs[2], &QPushButton::clicked, this, [this] { ShowPanel(Panel::kHistory); });

  m_webPanel = new CSiteListDlg(m_sites, this);
  if (m_options.loadWebPanel) m_webPanel->Navigate(HostValue(kHostSidePanel));
  m_compPanel = new CCompPriceDlg(this);
  m_compPanel->SetJobs(m_jobs.get());
  m_hisPanel = new CHisPriceDlg(this);
}

void CVantrelDlg::ShowAccountPanel() {
  m_publishedAccount->Publish(m_account);
  const bool signedIn = m_account.IsLoggedIn();
  m_myPanel->setVisible(signedIn);
  m_userPanel->setVisible(!signedIn);
}

void CVantrelDlg::CreateTray() {
  m_tray = new QSystemTrayIcon(QIcon(SkinPixmap(QStringLiteral("imgs/TrayNormal.png"))), this);
  m_tray->setToolTip(QStringLiteral("Vantrel"));
  m_tray->setContextMenu(m_trayMenu);
  connect(m_tray, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            OnTrayActivated(static_cast<int>(reason));
          });
  m_tray->show();
  m_blinkTimer = new QTimer(this);
  m_blinkTimer->setInterval(kBlinkMs);
  connect(m_blinkTimer, &QTimer::timeout, this, &CVantrelDlg::OnBlinkTick);
}

void CVantrelDlg::AppendTaskRows() {
  for (const TaskPtr& task : m_tasks.Tasks()) {
    const std::string picture = ProductPicturePath(*task);
    // The picture itself is read when the row is first painted.
    m_list->Model().AppendRow(task, FileExists(picture) ? picture : BlankPicturePath(), true);
  }
}

void CVantrelDlg::OnTasksMerged(const std::vector<TaskPtr>& added,
                                const std::vector<TaskPtr>& removed) {
  CTaskListModel& model = m_list->Model();
  for (int row = model.rowCount() - 1; row >= 0; --row) {
    const TaskPtr task = model.TaskOfRow(row);
    if (std::find(removed.begin(), removed.end(), task) != removed.end()) model.RemoveRow(row);
  }
  for (int row = 0; row < model.rowCount(); ++row) {
    if (const TaskPtr task = model.TaskOfRow(row)) model.FillRow(row, *task, false);
  }
  for (const TaskPtr& task : added) {
    if (m_tasks.IndexOf(task.get()) < 0) continue;
    const std::string picture = ProductPicturePath(*task);
    model.AppendRow(task, FileExists(picture) ? picture : BlankPicturePath(), true);
  }
  UpdateCounters();
}

void CVantrelDlg::UpdateCounters() {
  const CTaskListModel::Counts counts = m_list->Model().CountRows();
  m_counters->setText(QStringLiteral("当前共有 <b>%1</b> 件商品，其中正在跟踪 <b>%2</b> 件，"
                                     "暂停 <b>%3</b> 件，变动 <b style=\"color:#d63031\">%4</b> 件")
                          .arg(counts.total)
                          .arg(counts.tracking)
                          .arg(counts.paused)
                          .arg(m_changeCount));
}

void CVantrelDlg::UpdateStatusText() {
  m_statusText->setText(FromLocal(m_options.title) + QStringLiteral("目前版本：") +
                        FromLocal(m_options.version) + QStringLiteral("   网站设置文件目前版本：") +
                        FromLocal(m_sites.GetVersion()));
}

int CVantrelDlg::TotalCount() const { return m_list->Model().CountRows().total; }
int CVantrelDlg::TrackingCount() const { return m_list->Model().CountRows().tracking; }
int CVantrelDlg::PausedCount() const { return m_list->Model().CountRows().paused; }
int CVantrelDlg::ChangeCount() const { return m_changeCount; }

void CVantrelDlg::LayOut() {
  if (!m_list || !m_search || !m_changes || m_tabs.empty()) return;
  const int w = width();
  const int h = height();
  // Toolbar row.
  int x = kMargin;
  if (!m_logo->pixmap().isNull()) {
    m_logo->setGeometry(x, (kToolbarHeight - m_logo->pixmap().height()) / 2,
                        m_logo->pixmap().width(), m_logo->pixmap().height());
    x += m_logo->width() + 16;
  }
  for (CButtonST* button : m_toolbar) {
    button->move(x, (kToolbarHeight - button->height()) / 2);
    x += button->width() + 6;
  }
  m_menuButton->move(w - kMargin - m_menuButton->width() - m_shareButton->width() - 4, 4);
  m_shareButton->move(w - kMargin - m_shareButton->width(), 4);

  // Status line: counters at the left, the search box at the list's right.
  const int listRight = w - kMargin - kRightColumnWidth - kListBorder - kMargin;
  const int statusTop = kToolbarHeight;
  m_searchButton->move(listRight - m_searchButton->width(),
                       statusTop + (kStatusLineHeight - m_searchButton->height()) / 2);
  // The search box gives up width in a small window so the counters keep
  // theirs; they wrap onto a second line when one is not enough.
  const int searchWidth = std::clamp((listRight - kMargin) / 4, 140, 220);
  m_searchEdit->setGeometry(m_searchButton->x() - 4 - searchWidth, m_searchButton->y(), searchWidth,
                            m_searchEdit->height());
  m_viewChanges->move(m_searchEdit->x() - 8 - m_viewChanges->width(),
                      statusTop + (kStatusLineHeight - m_viewChanges->height()) / 2);
  m_counters->setGeometry(kMargin, statusTop, m_viewChanges->x() - 8 - kMargin, kStatusLineHeight);

  // Bottom line.
  const int bottomTop = h - kBottomLineHeight;
  m_statusText->setGeometry(kMargin, bottomTop, w / 2, kBottomLineHeight);
  const QSize followSize = m_followLink->sizeHint();
  m_followLink->setGeometry(w - kMargin - followSize.width(),
                            bottomTop + (kBottomLineHeight - followSize.height()) / 2,
                            followSize.width(), followSize.height());
  m_updateButton->move(m_followLink->x() - 12 - m_updateButton->width(),
                       bottomTop + (kBottomLineHeight - m_updateButton->height()) / 2);

  // The list area, with the search results and the change list stacked
  // above the task list.
  const int listTop = statusTop + kStatusLineHeight;
  const int listBottom = bottomTop - kMargin;
  const int listWidth = listRight - kMargin;
  const int quarter = (listBottom - listTop) / 4;
  int top = listTop;
  if (m_search->isVisible()) {
    // The quarter is for the rows; the count line above them comes on top.
    const int height = std::min(quarter + m_search->HeadHeight(), m_search->PreferredHeight());
    m_search->setGeometry(kMargin, top, listWidth, height);
    top += height;
  }
  if (m_changes->isVisible()) {
    // Its summary line stands above the rows the panel asks room for.
    const int height = std::min(quarter, m_changes->PreferredHeight() + kSummaryLineHeight);
    m_changes->setGeometry(kMargin, top, listWidth, height);
    top += height;
  }
  m_list->setGeometry(kMargin, top, listWidth, listBottom - top);

  // The right-hand column.
  const int columnLeft = w - kMargin - kRightColumnWidth;
  m_accountArea->setGeometry(columnLeft, listTop, kRightColumnWidth, kAccountHeight);
  const int tabTop = listTop + kAccountHeight + kMargin;
  const int tabWidth = kRightColumnWidth / 3;
  for (size_t i = 0; i < m_tabs.size(); ++i)
    m_tabs[i]->setGeometry(columnLeft + static_cast<int>(i) * tabWidth, tabTop, tabWidth,
                           kTabHeight);
  // The panels start a tab's height and a gap below the tabs' top.
  const int panelTop = tabTop + kPanelGap + 8;
  for (QWidget* widget : {static_cast<QWidget*>(m_webPanel), static_cast<QWidget*>(m_compPanel),
                          static_cast<QWidget*>(m_hisPanel)})
    widget->setGeometry(columnLeft, panelTop, kRightColumnWidth, listBottom - panelTop);
}

void CVantrelDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
}

void CVantrelDlg::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  LayOut();
}

void CVantrelDlg::ShowPanel(Panel panel) {
  TaskPtr task = m_currentRow >= 0 ? TaskOfRow(m_currentRow) : nullptr;
  // Comparison and history only for the current row's task while it is tracked.
  if (panel != Panel::kWeb && (!task || task->GetStatus() != 1)) panel = Panel::kWeb;
  if (panel == Panel::kComparison) m_compPanel->ShowComparison(task->GetCompareInfo());
  if (panel == Panel::kHistory) m_hisPanel->ShowHistory(task->GetPriceHistory());
  m_webPanel->setVisible(panel == Panel::kWeb);
  m_compPanel->setVisible(panel == Panel::kComparison);
  m_hisPanel->setVisible(panel == Panel::kHistory);
  m_tabs[0]->setChecked(panel == Panel::kWeb);
  m_tabs[1]->setChecked(panel == Panel::kComparison);
  m_tabs[2]->setChecked(panel == Panel::kHistory);
}

CVantrelDlg::Panel CVantrelDlg::VisiblePanel() const {
  if (!m_compPanel->isHidden()) return Panel::kComparison;
  if (!m_hisPanel->isHidden()) return Panel::kHistory;
  return Panel::kWeb;
}

void CVantrelDlg::OnRowClicked(int row, int column, int hit, int shareSite) {
  m_currentRow = row;
  const auto where = static_cast<TaskListHit>(hit);
  if (column == kColumnPrice && where == TaskListHit::kCompare) {
    ShowPanel(Panel::kComparison);
    return;
  }
  if (column == kColumnPrice && where == TaskListHit::kHistory) {
    ShowPanel(Panel::kHistory);
    return;
  }
  if (column != kColumnPrice) ShowPanel(Panel::kWeb);
  if (row < 0) return;
  if (where == TaskListHit::kShareIcon) {
    m_list->SelectOnly(row);
    ShareSelected(ShareSiteOfIcon(shareSite));
  } else if (where == TaskListHit::kPicture) {
    m_list->SelectOnly(row);
    OpenSelectedProduct();
  }
}

// ---- tray ----

void CVantrelDlg::OnTrayActivated(int reason) {
  if (reason != QSystemTrayIcon::Trigger) return;
  StopBlinking();
  ShowMainWindow();
}

void CVantrelDlg::ShowMainWindow() {
  showNormal();
  raise();
  activateWindow();
}

void CVantrelDlg::StartBlinking() {
  m_blinking = true;
  m_blinkPhase = false;
  m_blinkTimer->start();
}

void CVantrelDlg::StopBlinking() {
  m_blinking = false;
  m_blinkTimer->stop();
  m_tray->setIcon(QIcon(SkinPixmap(QStringLiteral("imgs/TrayNormal.png"))));
}

void CVantrelDlg::OnBlinkTick() {
  if (!m_blinking) {
    m_blinkTimer->stop();
    return;
  }
  m_blinkPhase = !m_blinkPhase;
  m_tray->setIcon(QIcon(SkinPixmap(m_blinkPhase ? QStringLiteral("imgs/TrayBlink.png")
                                                : QStringLiteral("imgs/TrayNormal.png"))));
}

// ---- closing ----

void CVantrelDlg::closeEvent(QCloseEvent* event) {
  if (!m_exiting) {
    // The close box only hides the window; tracking goes on in the tray.
    event->ignore();
    hide();
    return;
  }
  StopTracking();
  event->accept();
  emit exitRequested();
}

void CVantrelDlg::Exit() {
  m_exiting = true;
  close();
}

void CVantrelDlg::StopTracking() {
  if (m_tray) m_tray->hide();
  if (m_blinkTimer) m_blinkTimer->stop();
  if (m_refreshTimer) m_refreshTimer->stop();
  m_tasks.SetMergeListener(nullptr);
  if (m_tracker) m_tracker->UnscheduleAll();
  // The program is ending: this one save waits on the window thread, and
  // only as long as FileLockPatience().
  SaveTaskFile();
  FlushTaskFile();
}

void CVantrelDlg::FlushTaskFile() { m_taskFileSave->Flush(); }

void CVantrelDlg::Shutdown() {
  if (m_shutDown) return;
  m_shutDown = true;
  StopTracking();
  // Pages being drawn by the browser end now; their passes record nothing.
  CancelRenders();
  // From here on a worker that reports is not waited for, so waiting for the
  // workers below can't deadlock with them.
  m_events->Close();
  // Changes still waiting for a pop-up would make it with this window's
  // workers and settings.
  DropWaitingPopMsgs();
  // Lookups still running hold the task list; their results are dropped.
  m_jobs->WaitForAll();
  // Add and delete workers schedule and unschedule through the tracker, so it
  // must outlive them; timers they set meanwhile go with it.
  m_addWorkers.reset();
  if (m_deleteWorker.joinable()) m_deleteWorker.join();
  m_tracker.reset();
  SaveTaskFile();
  m_taskFileSave.reset();
}
