#include "app/vantrelapp.h"

#include <unistd.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QUrl>

#include "app/messagebox.h"
#include "app/stopsignal.h"
#include "app/vantreldlg.h"
#include "base/message.h"
#include "base/network.h"
#include "base/openlink.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "controls/qttranslation.h"
#include "services/updatecheck.h"

namespace {

constexpr int kAnswerWaitMs = 2000;
const QByteArray kShowRequest("show\n");

}  // namespace

CVantrelApp::CVantrelApp(AppOptions options) : m_options(std::move(options)) {
  if (m_options.serverName.isEmpty()) m_options.serverName = DefaultServerName();
  LoadAppData(m_data);
}

CVantrelApp::~CVantrelApp() {
  // The window ends tracking and saves before the data it works on goes.
  m_window.reset();
}

void CVantrelApp::InstallGuiServices() {
  InstallQtChineseTranslation();
  InstallMessageBoxes();
  SetLinkOpener([](const std::string& utf8Url) {
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(utf8Url.c_str()), QUrl::StrictMode));
  });
}

QString CVantrelApp::DefaultServerName() {
  // One instance per installation: a copy in another folder has files of its
  // own, and must neither be refused by nor bring up this one.
  const QByteArray folder = QCryptographicHash::hash(QByteArray::fromStdString(ProgramDirectory()),
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(16);
  return QStringLiteral("Vantrel-%1-%2")
      .arg(static_cast<qulonglong>(getuid()))
      .arg(QString::fromLatin1(folder));
}

bool CVantrelApp::FindRunningInstance() {
  QLocalSocket socket;
  socket.connectToServer(m_options.serverName);
  if (!socket.waitForConnected(kAnswerWaitMs)) return false;
  socket.write(kShowRequest);
  socket.waitForBytesWritten(kAnswerWaitMs);
  socket.disconnectFromServer();
  return true;
}

void CVantrelApp::ListenForOtherInstances() {
  m_server = new QLocalServer(this);
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!m_server->listen(m_options.serverName)) {
    // Left behind by an instance that crashed: nobody answered above.
    QLocalServer::removeServer(m_options.serverName);
    m_server->listen(m_options.serverName);
  }
  connect(m_server, &QLocalServer::newConnection, this, &CVantrelApp::OnOtherInstance);
}

void CVantrelApp::OnOtherInstance() {
  while (QLocalSocket* socket = m_server->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (socket->readAll().contains("show") && m_window) m_window->ShowMainWindow();
    });
  }
}

bool CVantrelApp::Start(const QStringList& arguments) {
  if (FindRunningInstance()) return false;
  if (!IsNetworkAvailable()) {
    ShowMessage(IDS_NO_NETWORK, kMessageInfo);
    return false;
  }
  const std::string siteVersion = m_data.sites.GetVersion();
  if (UpdateDueAtStartup(siteVersion) && StartUpdater(siteVersion)) return false;
  ListenForOtherInstances();

  MainWindowOptions options;
  options.title = m_data.title;
  options.version = m_data.version;
  options.settings = m_data.settings;
  options.offerAutoStart = m_options.offerAutoStart;
  options.loadWebPanel = m_options.loadWebPanel;
  m_window = std::make_unique<CVantrelDlg>(m_data.sites, m_data.tasks, options);
  connect(m_window.get(), &CVantrelDlg::exitRequested, qApp, &QCoreApplication::quit,
          Qt::QueuedConnection);
  if (m_options.handleStopSignals) {
    m_stopSignal = new CStopSignal(this);
    connect(m_stopSignal, &CStopSignal::stopRequested, m_window.get(), &CVantrelDlg::Exit);
  }
  // Case matters: only the autostart entry's exact word starts hidden.
  const bool hidden = !arguments.isEmpty() && arguments.first() == QLatin1String("hidewnd");
  if (!hidden) m_window->ShowMainWindow();
  const std::string aside = m_data.tasks.SetAsideFile();
  if (!aside.empty()) {
    // After the window is up, so the box has something to stand over.
    QTimer::singleShot(0, m_window.get(), [aside] {
      ShowMessageText(IDS_TASKS_SET_ASIDE, kMessageInfo, TasksSetAsideText(aside));
    });
  }
  return true;
}

int CVantrelApp::InitInstance(const QStringList& arguments) {
  if (!Start(arguments)) return 0;
  QApplication::setQuitOnLastWindowClosed(false);
  return QApplication::exec();
}
