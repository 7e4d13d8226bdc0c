#include "app/notifyconfigdlg.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "base/stringtable.h"
#include "controls/qtext.h"

namespace {

// A key of section "Notify", where its field lives and how it shows.
struct NotifyField {
  const char* key;
  const char* caption;
  std::string NotifySettings::*field;
  NotifyChannel channel;
  bool secret;
};

const NotifyField kFields[] = {
    {"MailUrl", "邮件服务器（smtp:// 或 smtps://）：", &NotifySettings::mailUrl,
     NotifyChannel::kMail, false},
    {"MailUser", "用户名：", &NotifySettings::mailUser, NotifyChannel::kMail, false},
    {"MailPassword", "密码：", &NotifySettings::mailPassword, NotifyChannel::kMail, true},
    {"MailFrom", "发件人：", &NotifySettings::mailFrom, NotifyChannel::kMail, false},
    {"MailTo", "收件人：", &NotifySettings::mailTo, NotifyChannel::kMail, false},
    {"WebhookUrl", "Webhook 地址：", &NotifySettings::webhookUrl, NotifyChannel::kWebhook, false},
    {"WebhookHeaders", "附加请求头（用 | 分隔）：", &NotifySettings::webhookHeaders,
     NotifyChannel::kWebhook, false},
    {"NtfyUrl", "ntfy 主题地址：", &NotifySettings::ntfyUrl, NotifyChannel::kNtfy, false},
    {"NtfyToken", "ntfy 令牌：", &NotifySettings::ntfyToken, NotifyChannel::kNtfy, true},
    {"TelegramToken", "Telegram 机器人令牌：", &NotifySettings::telegramToken,
     NotifyChannel::kTelegram, true},
    {"TelegramChat", "Telegram 聊天 ID：", &NotifySettings::telegramChat, NotifyChannel::kTelegram,
     false},
    {"TelegramApi", "Telegram 接口地址：", &NotifySettings::telegramApi, NotifyChannel::kTelegram,
     false},
};

const char* ChannelCaption(NotifyChannel channel) {
  switch (channel) {
    case NotifyChannel::kMail:
      return "邮件";
    case NotifyChannel::kWebhook:
      return "Webhook";
    case NotifyChannel::kNtfy:
      return "ntfy";
    case NotifyChannel::kTelegram:
      return "Telegram";
    case NotifyChannel::kDesktop:
      return "桌面通知";
  }
  return "";
}

constexpr int kStatusRefreshMilliseconds = 1000;

}  // namespace

CNotifyConfigDlg::CNotifyConfigDlg(CNotifyContext context, QWidget* parent)
    : QWidget(parent), m_context(std::move(context)) {
  const NotifySettings settings = ReadNotifySettings();
  auto* inner = new QWidget;
  auto* innerLayout = new QVBoxLayout(inner);
  std::map<NotifyChannel, QFormLayout*> forms;
  for (NotifyChannel channel : kAllChannels) {
    auto* group = new QGroupBox(QString::fromUtf8(ChannelCaption(channel)), inner);
    auto* form = new QFormLayout(group);
    forms[channel] = form;
    if (channel == NotifyChannel::kDesktop) {
      m_desktop = new QCheckBox(QStringLiteral("在桌面上显示通知"), group);
      m_desktop->setChecked(settings.desktop);
      form->addRow(m_desktop);
    }
    innerLayout->addWidget(group);
  }
  for (const NotifyField& field : kFields) {
    auto* edit = new QLineEdit(FromLocal(settings.*field.field));
    edit->setObjectName(QString::fromLatin1(field.key));
    if (field.secret) edit->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    forms[field.channel]->addRow(QString::fromUtf8(field.caption), edit);
    m_edits[QString::fromLatin1(field.key)] = edit;
  }
  for (NotifyChannel channel : kAllChannels) {
    auto* row = new QHBoxLayout;
    auto* status = new QLabel;
    status->setObjectName(
        QStringLiteral("status_%1").arg(QString::fromLatin1(ChannelName(channel))));
    status->setWordWrap(true);
    m_status[channel] = status;
    row->addWidget(status, 1);
    if (m_context.sendTest) {
      auto* test = new QPushButton(QStringLiteral("测试"));
      test->setObjectName(QStringLiteral("test_%1").arg(QString::fromLatin1(ChannelName(channel))));
      connect(test, &QPushButton::clicked, this, [this, channel] { OnTest(channel); });
      row->addWidget(test);
    }
    forms[channel]->addRow(row);
  }
  innerLayout->addStretch(1);

  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setWidget(inner);
  m_save = new QPushButton(QStringLiteral("保存"), this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scroll, 1);
  layout->addWidget(m_save, 0, Qt::AlignRight);
  connect(m_save, &QPushButton::clicked, this, &CNotifyConfigDlg::OnSave);

  RefreshStatuses();
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &CNotifyConfigDlg::RefreshStatuses);
  timer->start(kStatusRefreshMilliseconds);
}

QLineEdit* CNotifyConfigDlg::Edit(const QString& key) const {
  auto found = m_edits.find(key);
  return found == m_edits.end() ? nullptr : found->second;
}

QPushButton* CNotifyConfigDlg::TestButton(NotifyChannel channel) const {
  return findChild<QPushButton*>(
      QStringLiteral("test_%1").arg(QString::fromLatin1(ChannelName(channel))));
}

NotifySettings CNotifyConfigDlg::Settings() const {
  NotifySettings settings;
  for (const NotifyField& field : kFields)
    settings.*field.field = ToLocal(Edit(QString::fromLatin1(field.key))->text().trimmed());
  if (settings.telegramApi.empty()) settings.telegramApi = kDefaultTelegramApi;
  settings.desktop = m_desktop->isChecked();
  return settings;
}

void CNotifyConfigDlg::RefreshStatuses() {
  const NotifySettings settings = Settings();
  const auto statuses =
      m_context.statuses ? m_context.statuses() : std::map<NotifyChannel, ChannelStatus>{};
  for (NotifyChannel channel : kAllChannels) {
    QString text;
    const auto found = statuses.find(channel);
    QString detail;
    if (found != statuses.end() && !found->second.lastError.empty()) {
      const ChannelStatus& status = found->second;
      const std::string& said =
          status.lastErrorText.empty() ? status.lastError : status.lastErrorText;
      text = QStringLiteral("发送失败（%1）：%2")
                 .arg(FromLocal(status.lastErrorTime), QString::fromUtf8(said.c_str()));
      // The channel's own words, for whoever looks into it.
      detail = QString::fromUtf8(status.lastError.c_str());
    } else if (!ChannelEnabled(settings, channel)) {
      text = QStringLiteral("未开启");
    } else if (found != statuses.end() && found->second.sent > 0) {
      text = QStringLiteral("已开启，发送成功 %1 次").arg(found->second.sent);
    } else {
      text = QStringLiteral("已开启");
    }
    m_status[channel]->setText(text);
    m_status[channel]->setToolTip(detail);
  }
}

void CNotifyConfigDlg::OnSave() {
  const bool ok = WriteNotifySettings(Settings());
  RefreshStatuses();
  emit saved(ok);
}

void CNotifyConfigDlg::OnTest(NotifyChannel channel) {
  const bool ok = WriteNotifySettings(Settings());
  RefreshStatuses();
  if (!ok) {
    emit saved(false);
    return;
  }
  const QString caption = QString::fromUtf8(ChannelCaption(channel));
  // A channel that is off would send nothing: saying "saved" would let the
  // user wait for a message that never comes.
  if (!ChannelEnabled(Settings(), channel)) {
    emit tested(caption + LoadQString(IDS_NOTIFY_TEST_CHANNEL_OFF));
    return;
  }
  m_context.sendTest(channel);
  emit tested(LoadQString(IDS_NOTIFY_TEST_SENT) + caption);
}
