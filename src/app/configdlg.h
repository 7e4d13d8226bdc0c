#pragma once

#include <functional>

#include <QColor>
#include <QDialog>
#include <QString>
#include <QWidget>

#include "app/notifyconfigdlg.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

// What the settings dialog needs from the program: the values held in
// memory since start-up, and what to do when a setting that takes effect at
// once changes.
struct CConfigContext {
  int shareIconSize = 0;
  int listTextSize = 16;
  int popMsgAutoClose = 0;
  int msgPop = 0;
  int failAlert = 3;  // "FailAlert"
  // Told after "FailAlert" was written (the next failed pass obeys it).
  std::function<void(int)> failAlertChanged;
  bool realDealsOnly = false;  // "RealDealsOnly"
  // Told after "RealDealsOnly" was written (the next drop obeys it).
  std::function<void(bool)> realDealsOnlyChanged;
  // Told after "PopMsgAutoClose" / "MsgPop" were written (the next pop-up
  // and the next change obey them); may be empty.
  std::function<void(int)> popMsgAutoCloseChanged;
  std::function<void(int)> msgPopChanged;
  // "手动更新网站设置": refreshes the shop rules now (RefreshSiteRules with the
  // program's site list) and tells whether that worked; may be empty.
  std::function<bool()> refreshSiteRules;
  // Page "通知": the program's notifier.
  CNotifyContext notify;
};

// The colour of a result line: red-violet for a failure, green for a
// success, black otherwise.
QColor ConfigResultColor(const QString& text);

// Page "基本设置": autostart, interval, share icon size, list text size, and
// the two pop-up settings. Every control writes config.ini at once and
// reports the string id of its result.
class CAppConfigDlg : public QWidget {
  Q_OBJECT

 public:
  CAppConfigDlg(CConfigContext& context, QWidget* parent = nullptr);

  QCheckBox* AutoStartBox() const { return m_autoStart; }
  QLineEdit* SleepTimeEdit() const { return m_sleepTime; }
  QLineEdit* ListTextSizeEdit() const { return m_listTextSize; }
  QLineEdit* FailAlertEdit() const { return m_failAlert; }
  // "只提醒真降价": only drops the price history calls deals are told.
  QCheckBox* RealDealsOnlyBox() const { return m_realDealsOnly; }
  // "Proxy" of section "Base", written when editing ends and it is a proxy
  // link (or empty).
  QLineEdit* ProxyEdit() const { return m_proxy; }
  // Index 0 and 1 of the three radio pairs.
  QRadioButton* ShareIconRadio(int index) const;
  QRadioButton* PopCloseRadio(int index) const;
  QRadioButton* PopShowRadio(int index) const;

 signals:
  void result(unsigned stringId);

 private:
  void OnAutoStart(bool on);
  void OnSleepTime(const QString& text);
  void OnListTextSize(const QString& text);
  void OnShareIconSize(int index);
  void OnPopClose(int index);
  void OnPopShow(int index);
  void OnProxy();
  void OnFailAlert(const QString& text);
  void OnRealDealsOnly(bool on);

  CConfigContext& m_context;
  QCheckBox* m_autoStart;
  QLineEdit* m_sleepTime;
  QLineEdit* m_listTextSize;
  QLineEdit* m_proxy;
  QLineEdit* m_failAlert;
  QCheckBox* m_realDealsOnly;
  QButtonGroup* m_shareIcon;
  QButtonGroup* m_popClose;
  QButtonGroup* m_popShow;
};

// Page "软件升级": the "AutoUpdate" radios, the download page and the shop
// rules refresh.
class CUpdateDlg : public QWidget {
  Q_OBJECT

 public:
  CUpdateDlg(CConfigContext& context, QWidget* parent = nullptr);

  QRadioButton* AutoUpdateRadio(int index) const;
  QPushButton* DownloadButton() const { return m_download; }
  QPushButton* RefreshRulesButton() const { return m_refresh; }

 signals:
  void result(unsigned stringId);

 private:
  void OnAutoUpdate(int index);
  void OnRefreshRules();

  CConfigContext& m_context;
  QButtonGroup* m_autoUpdate;
  QPushButton* m_download;
  QPushButton* m_refresh;
};

// The modal settings dialog "设置" with its pages and the result line.
class CConfigDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CConfigDlg(CConfigContext context, QWidget* parent = nullptr);

  CAppConfigDlg* AppPage() const { return m_appPage; }
  CUpdateDlg* UpdatePage() const { return m_updatePage; }
  CNotifyConfigDlg* NotifyPage() const { return m_notifyPage; }
  QLabel* ResultLine() const { return m_result; }
  // Shows page 0 ("基本设置"), 1 ("软件升级") or 2 ("通知").
  void ShowPage(int index);
  int CurrentPage() const;
  // The values the dialog holds now (the in-memory ones, updated by writes).
  const CConfigContext& Context() const { return m_context; }

 private:
  void ShowResult(unsigned stringId);
  void ShowText(const QString& text);

  CConfigContext m_context;
  QPushButton* m_tabApp;
  QPushButton* m_tabUpdate;
  QPushButton* m_tabNotify;
  QStackedWidget* m_pages;
  CAppConfigDlg* m_appPage;
  CUpdateDlg* m_updatePage;
  CNotifyConfigDlg* m_notifyPage;
  QLabel* m_result;
};
