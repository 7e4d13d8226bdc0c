#include "app/configdlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "base/autostart.h"
#include "base/hosts.h"
#include "base/ini.h"
#include "base/openlink.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "engine/proxy.h"
#include "services/updatecheck.h"

namespace {

std::string ConfigFile() { return ProgramFile("config.ini"); }

bool WriteBase(const char* key, const std::string& value) {
  return IniWriteString(ConfigFile(), "Base", key, value);
}

// A number box of at most `digits` digits.
QLineEdit* NumberEdit(int digits, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setMaxLength(digits);
  edit->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(digits)), edit));
  edit->setFixedWidth(40);
  return edit;
}

// A pair of radio buttons with ids 0 and 1 on one line after a caption.
QButtonGroup* RadioPair(const QString& caption, const QString& first, const QString& second,
                        int checked, QVBoxLayout* into, QWidget* parent) {
  auto* group = new QButtonGroup(parent);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(caption, parent));
  for (int index = 0; index < 2; ++index) {
    auto* radio = new QRadioButton(index == 0 ? first : second, parent);
    group->addButton(radio, index);
    row->addWidget(radio);
  }
  row->addStretch(1);
  into->addLayout(row);
  if (QAbstractButton* button = group->button(checked == 1 ? 1 : 0)) button->setChecked(true);
  return group;
}

}  // namespace

QColor ConfigResultColor(const QString& text) {
  if (text.contains(QStringLiteral("失败"))) return QColor(218, 0, 169);
  if (text.contains(QStringLiteral("成功"))) return QColor(3, 169, 72);
  return QColor(Qt::black);
}

CAppConfigDlg::CAppConfigDlg(CConfigContext& context, QWidget* parent)
    : QWidget(parent), m_context(context) {
  auto* layout = new QVBoxLayout(this);

  auto* startGroup = new QGroupBox(QStringLiteral("启动设置"), this);
  auto* startLayout = new QVBoxLayout(startGroup);
  m_autoStart = new QCheckBox(QStringLiteral("开机自动启动万特尔"), startGroup);
  m_autoStart->setChecked(IsAutoStartEnabled());
  startLayout->addWidget(m_autoStart);
  layout->addWidget(startGroup);

  auto* baseGroup = new QGroupBox(QStringLiteral("基本设置（需要重启软件才能生效）"), this);
  auto* baseLayout = new QVBoxLayout(baseGroup);
  auto* sleepRow = new QHBoxLayout;
  m_sleepTime = NumberEdit(1, baseGroup);
  // The interval box shows the file's value, not the one the program runs with.
  m_sleepTime->setText(FromLocal(IniGetString(ConfigFile(), "Base", "SleepTime", "1")).left(1));
  sleepRow->addWidget(new QLabel(QStringLiteral("更新间隔时间："), baseGroup));
  sleepRow->addWidget(m_sleepTime);
  sleepRow->addWidget(new QLabel(QStringLiteral("秒"), baseGroup));
  sleepRow->addStretch(1);
  baseLayout->addLayout(sleepRow);

  m_shareIcon = RadioPair(QStringLiteral("分享到图标大小："), QStringLiteral("大"),
                          QStringLiteral("小"), context.shareIconSize, baseLayout, baseGroup);

  auto* textRow = new QHBoxLayout;
  m_listTextSize = NumberEdit(2, baseGroup);
  m_listTextSize->setText(QString::number(context.listTextSize).left(2));
  textRow->addWidget(new QLabel(QStringLiteral("列表文字大小："), baseGroup));
  textRow->addWidget(m_listTextSize);
  textRow->addWidget(new QLabel(QStringLiteral("（默认16，小一号字建议设置成14）"), baseGroup));
  textRow->addStretch(1);
  baseLayout->addLayout(textRow);

  m_popClose =
      RadioPair(QStringLiteral("提示框关闭方式："), QStringLiteral("自动关闭"),
                QStringLiteral("手动关闭"), context.popMsgAutoClose, baseLayout, baseGroup);
  m_popShow = RadioPair(QStringLiteral("提示框是否显示："), QStringLiteral("显示提示框"),
                        QStringLiteral("不显示提示框"), context.msgPop, baseLayout, baseGroup);
  layout->addWidget(baseGroup);

  auto* failRow = new QHBoxLayout;
  m_failAlert = NumberEdit(2, this);
  m_failAlert->setText(QString::number(context.failAlert));
  failRow->addWidget(new QLabel(FromLocal(LoadString(IDS_FAIL_ALERT_SETTING)), this));
  failRow->addWidget(m_failAlert);
  failRow->addStretch(1);
  layout->addLayout(failRow);

  m_realDealsOnly = new QCheckBox(FromLocal(LoadString(IDS_REAL_DEALS_ONLY)), this);
  m_realDealsOnly->setChecked(context.realDealsOnly);
  layout->addWidget(m_realDealsOnly);

  auto* proxyRow = new QHBoxLayout;
  m_proxy = new QLineEdit(FromLocal(ProxySetting()), this);
  m_proxy->setPlaceholderText(QStringLiteral("http://、https:// 或 socks5://，空则使用系统代理"));
  proxyRow->addWidget(new QLabel(QStringLiteral("代理服务器："), this));
  proxyRow->addWidget(m_proxy, 1);
  layout->addLayout(proxyRow);
  layout->addStretch(1);

  // Connected after the initial values are in, so that opening writes nothing.
  connect(m_autoStart, &QCheckBox::clicked, this, &CAppConfigDlg::OnAutoStart);
  connect(m_sleepTime, &QLineEdit::textChanged, this, &CAppConfigDlg::OnSleepTime);
  connect(m_listTextSize, &QLineEdit::textChanged, this, &CAppConfigDlg::OnListTextSize);
  connect(m_shareIcon, &QButtonGroup::idClicked, this, &CAppConfigDlg::OnShareIconSize);
  connect(m_popClose, &QButtonGroup::idClicked, this, &CAppConfigDlg::OnPopClose);
  connect(m_popShow, &QButtonGroup::idClicked, this, &CAppConfigDlg::OnPopShow);
  connect(m_proxy, &QLineEdit::editingFinished, this, &CAppConfigDlg::OnProxy);
  connect(m_failAlert, &QLineEdit::textChanged, this, &CAppConfigDlg::OnFailAlert);
  connect(m_realDealsOnly, &QCheckBox::clicked, this, &CAppConfigDlg::OnRealDealsOnly);
}

void CAppConfigDlg::OnProxy() {
  const std::string typed = ToLocal(m_proxy->text().trimmed());
  std::string link;
  // A setting that is no proxy is not stored; the box and the result line
  // say so until it is fixed.
  const bool valid = ProxyLink(typed, link);
  m_proxy->setStyleSheet(valid ? QString() : QStringLiteral("QLineEdit { color: #da00a9; }"));
  if (!valid) {
    emit result(IDS_PROXY_INVALID);
    return;
  }
  // "host:port" is stored as the http:// link it is taken for, so that the
  // box shows what requests go through.
  if (link != typed) m_proxy->setText(FromLocal(link));
  if (link != ProxySetting()) WriteBase("Proxy", link);
}

void CAppConfigDlg::OnFailAlert(const QString& text) {
  if (text.isEmpty()) return;
  const int count = text.toInt();
  if (!WriteBase("FailAlert", std::to_string(count))) {
    emit result(IDS_FAIL_ALERT_SET_FAILED);
    return;
  }
  m_context.failAlert = count;
  if (m_context.failAlertChanged) m_context.failAlertChanged(count);
  emit result(IDS_FAIL_ALERT_SET_OK);
}

void CAppConfigDlg::OnRealDealsOnly(bool on) {
  if (!WriteBase("RealDealsOnly", on ? "1" : "0")) {
    // The box shows what is in force.
    const QSignalBlocker blocker(m_realDealsOnly);
    m_realDealsOnly->setChecked(m_context.realDealsOnly);
    emit result(IDS_REAL_DEALS_SET_FAILED);
    return;
  }
  m_context.realDealsOnly = on;
  if (m_context.realDealsOnlyChanged) m_context.realDealsOnlyChanged(on);
  emit result(IDS_REAL_DEALS_SET_OK);
}

QRadioButton* CAppConfigDlg::ShareIconRadio(int index) const {
  return qobject_cast<QRadioButton*>(m_shareIcon->button(index));
}

QRadioButton* CAppConfigDlg::PopCloseRadio(int index) const {
  return qobject_cast<QRadioButton*>(m_popClose->button(index));
}

QRadioButton* CAppConfigDlg::PopShowRadio(int index) const {
  return qobject_cast<QRadioButton*>(m_popShow->button(index));
}

void CAppConfigDlg::OnAutoStart(bool on) {
  unsigned id = SetAutoStart(on);
  if (id == 0) id = on ? IDS_AUTOSTART_ON_FAILED : IDS_AUTOSTART_OFF_FAILED;
  // The box shows what is in force, also after a failed change.
  const QSignalBlocker blocker(m_autoStart);
  m_autoStart->setChecked(IsAutoStartEnabled());
  emit result(id);
}

void CAppConfigDlg::OnSleepTime(const QString& text) {
  if (text.isEmpty()) return;
  if (text == QStringLiteral("0")) {
    emit result(IDS_INTERVAL_SET_FAILED);
    return;
  }
  emit result(WriteBase("SleepTime", ToLocal(text)) ? IDS_INTERVAL_SET_OK
                                                    : IDS_INTERVAL_SET_FAILED);
}

void CAppConfigDlg::OnListTextSize(const QString& text) {
  if (text.isEmpty()) return;
  // "00" is a text size of 0 as much as "0" is.
  if (text.toInt() == 0) {
    emit result(IDS_LIST_TEXT_FAILED);
    return;
  }
  emit result(WriteBase("ListTextSize", ToLocal(text)) ? IDS_LIST_TEXT_OK : IDS_LIST_TEXT_FAILED);
}

void CAppConfigDlg::OnShareIconSize(int index) {
  emit result(WriteBase("ShareIconSize", std::to_string(index)) ? IDS_SHARE_ICON_SIZE_OK
                                                                : IDS_SHARE_ICON_SIZE_FAILED);
}

void CAppConfigDlg::OnPopClose(int index) {
  if (!WriteBase("PopMsgAutoClose", std::to_string(index))) {
    emit result(IDS_POP_CLOSE_FAILED);
    return;
  }
  m_context.popMsgAutoClose = index;
  if (m_context.popMsgAutoCloseChanged) m_context.popMsgAutoCloseChanged(index);
  emit result(IDS_POP_CLOSE_OK);
}

void CAppConfigDlg::OnPopShow(int index) {
  if (!WriteBase("MsgPop", std::to_string(index))) {
    emit result(IDS_POP_SHOW_FAILED);
    return;
  }
  m_context.msgPop = index;
  if (m_context.msgPopChanged) m_context.msgPopChanged(index);
  emit result(IDS_POP_SHOW_OK);
}

CUpdateDlg::CUpdateDlg(CConfigContext& context, QWidget* parent)
    : QWidget(parent), m_context(context) {
  auto* layout = new QVBoxLayout(this);
  auto* explainUpdate = new QLabel(
      QStringLiteral(
          "万特尔可以定期检查重要更新，并为您安装他们。（启动自动更新将使您获得更稳定的服务）"),
      this);
  explainUpdate->setWordWrap(true);
  layout->addWidget(explainUpdate);

  m_autoUpdate = new QButtonGroup(this);
  auto* on = new QRadioButton(QStringLiteral("自动下载更新，并安装他们（推荐）"), this);
  auto* off = new QRadioButton(QStringLiteral("关闭自动更新。（会影响您的体验）"), this);
  m_autoUpdate->addButton(on, 0);
  m_autoUpdate->addButton(off, 1);
  (IsAutoUpdateOn() ? on : off)->setChecked(true);
  layout->addWidget(on);
  layout->addWidget(off);

  m_download = new QPushButton(QStringLiteral("去网站下载最新版本"), this);
  layout->addWidget(m_download, 0, Qt::AlignLeft);

  auto* explainRules = new QLabel(
      QStringLiteral("万特尔每周会自动更新网站设置，您也可以手动更新，马上获取最新的网站设置。"),
      this);
  explainRules->setWordWrap(true);
  layout->addWidget(explainRules);
  m_refresh = new QPushButton(QStringLiteral("手动更新网站设置"), this);
  layout->addWidget(m_refresh, 0, Qt::AlignLeft);
  layout->addStretch(1);

  const QString style = QStringLiteral(
                            "QPushButton { border-image: url(%1) 0 0 0 0 stretch stretch; padding: "
                            "4px 12px; } QPushButton:hover { border-image: url(%2) 0 0 0 0 stretch "
                            "stretch; }")
                            .arg(FromLocal(ProgramFile("imgs/Btn3Bkg.png")),
                                 FromLocal(ProgramFile("imgs/Btn3HotBkg.png")));
  m_download->setStyleSheet(style);
  m_refresh->setStyleSheet(style);

  connect(m_autoUpdate, &QButtonGroup::idClicked, this, &CUpdateDlg::OnAutoUpdate);
  connect(m_download, &QPushButton::clicked, this, [] { OpenLink(HostValue(kHostHomePage)); });
  connect(m_refresh, &QPushButton::clicked, this, &CUpdateDlg::OnRefreshRules);
}

QRadioButton* CUpdateDlg::AutoUpdateRadio(int index) const {
  return qobject_cast<QRadioButton*>(m_autoUpdate->button(index));
}

void CUpdateDlg::OnAutoUpdate(int index) { emit result(SetAutoUpdate(index == 0)); }

void CUpdateDlg::OnRefreshRules() {
  // A refresh that did not happen is not reported as a success.
  const bool refreshed = m_context.refreshSiteRules ? m_context.refreshSiteRules() : false;
  emit result(refreshed ? IDS_SITE_RULES_UPDATED : IDS_SITE_RULES_UPDATE_FAILED);
}

CConfigDlg::CConfigDlg(CConfigContext context, QWidget* parent)
    : QDialog(parent), m_context(std::move(context)) {
  setWindowTitle(QStringLiteral("设置"));
  setModal(true);

  m_tabApp = new QPushButton(QStringLiteral("基本设置"), this);
  m_tabUpdate = new QPushButton(QStringLiteral("软件升级"), this);
  m_tabNotify = new QPushButton(QStringLiteral("通知"), this);
  const QString tabStyle =
      QStringLiteral(
          "QPushButton { border-image: url(%1) 0 0 0 0 stretch stretch; padding: 6px 16px; } "
          "QPushButton:checked { border-image: url(%2) 0 0 0 0 stretch stretch; }")
          .arg(FromLocal(ProgramFile("imgs/TabHeadBkg.png")),
               FromLocal(ProgramFile("imgs/TabHeadSelBkg.png")));
  for (QPushButton* tab : {m_tabApp, m_tabUpdate, m_tabNotify}) {
    tab->setCheckable(true);
    tab->setAutoExclusive(true);
    tab->setStyleSheet(tabStyle);
  }

  m_pages = new QStackedWidget(this);
  m_appPage = new CAppConfigDlg(m_context, m_pages);
  m_updatePage = new CUpdateDlg(m_context, m_pages);
  m_pages->addWidget(m_appPage);
  m_pages->addWidget(m_updatePage);
  m_notifyPage = new CNotifyConfigDlg(m_context.notify, m_pages);
  m_pages->addWidget(m_notifyPage);

  m_result = new QLabel(this);
  auto* ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setStyleSheet(QStringLiteral("QPushButton { border-image: url(%1) 0 0 0 0 stretch stretch; "
                                   "padding: 4px 20px; } QPushButton:hover { border-image: url(%2) "
                                   "0 0 0 0 stretch stretch; }")
                        .arg(FromLocal(ProgramFile("imgs/Btn1Bkg.png")),
                             FromLocal(ProgramFile("imgs/Btn1HotBkg.png"))));

  auto* tabs = new QHBoxLayout;
  tabs->addWidget(m_tabApp);
  tabs->addWidget(m_tabUpdate);
  tabs->addWidget(m_tabNotify);
  tabs->addStretch(1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(m_result, 1);
  bottom->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(tabs);
  layout->addWidget(m_pages, 1);
  layout->addLayout(bottom);
  resize(520, 400);

  connect(m_tabApp, &QPushButton::clicked, this, [this] { ShowPage(0); });
  connect(m_tabUpdate, &QPushButton::clicked, this, [this] { ShowPage(1); });
  connect(m_tabNotify, &QPushButton::clicked, this, [this] { ShowPage(2); });
  connect(m_notifyPage, &CNotifyConfigDlg::saved, this, [this](bool ok) {
    ShowText(ok ? QStringLiteral("通知设置保存成功") : QStringLiteral("通知设置保存失败"));
  });
  connect(m_notifyPage, &CNotifyConfigDlg::tested, this, &CConfigDlg::ShowText);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_appPage, &CAppConfigDlg::result, this, &CConfigDlg::ShowResult);
  // The update page's reports arrive queued, as they did when posted.
  connect(m_updatePage, &CUpdateDlg::result, this, &CConfigDlg::ShowResult, Qt::QueuedConnection);
  ShowPage(0);
}

void CConfigDlg::ShowPage(int index) {
  if (index < 0 || index > 2) index = 0;
  m_pages->setCurrentIndex(index);
  m_tabApp->setChecked(index == 0);
  m_tabUpdate->setChecked(index == 1);
  m_tabNotify->setChecked(index == 2);
}

int CConfigDlg::CurrentPage() const { return m_pages->currentIndex(); }

void CConfigDlg::ShowResult(unsigned stringId) { ShowText(LoadQString(stringId)); }

void CConfigDlg::ShowText(const QString& text) {
  m_result->setText(text);
  QPalette palette = m_result->palette();
  palette.setColor(QPalette::WindowText, ConfigResultColor(text));
  m_result->setPalette(palette);
}
