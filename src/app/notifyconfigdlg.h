#pragma once

#include <functional>
#include <map>

#include <QWidget>

#include "services/notify.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// What page "通知" needs from the program: the notifier's channel statuses
// and a way to send a test message through one channel. Either may be empty
// (no notifier runs).
struct CNotifyContext {
  std::function<std::map<NotifyChannel, ChannelStatus>()> statuses;
  std::function<void(NotifyChannel)> sendTest;
};

// Page "通知" of the settings: the keys of section "Notify", saved together
// with "保存", and each channel's last outcome, refreshed while it shows.
class CNotifyConfigDlg : public QWidget {
  Q_OBJECT

 public:
  CNotifyConfigDlg(CNotifyContext context, QWidget* parent = nullptr);

  // The edit of a key of section "Notify" ("MailUrl" ...); null for others.
  QLineEdit* Edit(const QString& key) const;
  QCheckBox* DesktopBox() const { return m_desktop; }
  QPushButton* SaveButton() const { return m_save; }
  // The "测试" button of a channel; null without a way to send a test.
  QPushButton* TestButton(NotifyChannel channel) const;
  QLabel* StatusLabel(NotifyChannel channel) const { return m_status.at(channel); }
  // The settings as the page's fields hold them.
  NotifySettings Settings() const;
  // Shows each channel's state now.
  void RefreshStatuses();

 signals:
  void saved(bool ok);
  // "测试" saved the settings and says what became of the test.
  void tested(const QString& text);

 private:
  void OnSave();
  void OnTest(NotifyChannel channel);

  CNotifyContext m_context;
  std::map<QString, QLineEdit*> m_edits;
  QCheckBox* m_desktop;
  QPushButton* m_save;
  std::map<NotifyChannel, QLabel*> m_status;
};
