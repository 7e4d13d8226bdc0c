#include "app/sitelistdlg.h"

#include <mutex>
#include <thread>

#include <QTextBrowser>
#include <QVBoxLayout>

#include "base/openlink.h"
#include "controls/qtext.h"
#include "engine/spider.h"

// The fetching thread reaches the panel through this while the panel lives;
// the panel's destructor cuts the tie, so a late page is dropped.
struct CSiteListDlg::Bridge {
  std::mutex lock;
  CSiteListDlg* panel = nullptr;
};

CSiteListDlg::CSiteListDlg(QWidget* parent)
    : QWidget(parent), m_browser(new QTextBrowser(this)), m_bridge(std::make_shared<Bridge>()) {
  setObjectName(QStringLiteral("webPanel"));
  m_bridge->panel = this;
  m_browser->setObjectName(QStringLiteral("webBrowser"));
  m_browser->setOpenLinks(false);
  m_browser->setFrameShape(QFrame::NoFrame);
  connect(m_browser, &QTextBrowser::anchorClicked, this,
          [](const QUrl& url) { OpenLink(ToLocal(url.toString())); });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_browser);
}

CSiteListDlg::~CSiteListDlg() {
  std::lock_guard lock(m_bridge->lock);
  m_bridge->panel = nullptr;
}

void CSiteListDlg::Navigate(const std::string& url) {
  if (url.empty()) return;
  std::thread([bridge = m_bridge, url] {
    const std::string page = CSpider().GetPage(url, "utf-8");
    std::lock_guard lock(bridge->lock);
    if (!bridge->panel) return;
    CSiteListDlg* panel = bridge->panel;
    QMetaObject::invokeMethod(
        panel, [panel, page] { panel->ShowPage(page); }, Qt::QueuedConnection);
  }).detach();
}

void CSiteListDlg::ShowPage(const std::string& localPage) {
  m_browser->setHtml(FromLocal(localPage));
  emit pageShown();
}
