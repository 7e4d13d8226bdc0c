#include "app/desktopnotify.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QStringList>
#include <QVariantMap>

#include "base/stringtable.h"

namespace {

constexpr int kReplyMilliseconds = 5000;
constexpr int kShownMilliseconds = 10000;

}  // namespace

std::string ShowDesktopNotification(const std::string& utf8Title, const std::string& utf8Body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return LoadStringUtf8(IDS_NOTIFY_NO_SESSION_BUS);
  QDBusInterface service(QStringLiteral("org.freedesktop.Notifications"),
                         QStringLiteral("/org/freedesktop/Notifications"),
                         QStringLiteral("org.freedesktop.Notifications"), bus);
  if (!service.isValid()) return LoadStringUtf8(IDS_NOTIFY_NO_DESKTOP_SERVICE);
  service.setTimeout(kReplyMilliseconds);
  const QDBusReply<uint> reply =
      service.call(QStringLiteral("Notify"), QStringLiteral("Vantrel"), 0u, QString(),
                   QString::fromUtf8(utf8Title.c_str()), QString::fromUtf8(utf8Body.c_str()),
                   QStringList(), QVariantMap(), kShownMilliseconds);
  if (!reply.isValid())
    return LoadStringUtf8(IDS_NOTIFY_DESKTOP_ERROR) + reply.error().message().toStdString();
  return std::string();
}
