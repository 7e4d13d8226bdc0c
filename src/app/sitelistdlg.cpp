#include "app/sitelistdlg.h"

#include <mutex>
#include <thread>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "base/openlink.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "engine/sitelearned.h"
#include "engine/spider.h"

CSiteListDlg::CSiteListDlg(CSiteList& sites, QWidget* parent)
    : QWidget(parent),
      m_sites(sites),
      m_browser(new QTextBrowser(this)),
      m_learnedTitle(new QLabel(LoadQString(IDS_LEARNED_SHOPS), this)),
      m_learned(new QListWidget(this)),
      m_forget(new QPushButton(LoadQString(IDS_LEARNED_DELETE), this)),
      m_tie(std::make_shared<CWidgetTie<CSiteListDlg>>(this)) {
  setObjectName(QStringLiteral("webPanel"));
  m_browser->setObjectName(QStringLiteral("webBrowser"));
  m_browser->setOpenLinks(false);
  m_browser->setFrameShape(QFrame::NoFrame);
  connect(m_browser, &QTextBrowser::anchorClicked, this,
          [](const QUrl& url) { OpenLink(ToLocal(url.toString())); });
  m_learned->setObjectName(QStringLiteral("learnedList"));
  m_learned->setMaximumHeight(120);
  m_forget->setObjectName(QStringLiteral("forgetButton"));
  connect(m_forget, &QPushButton::clicked, this, &CSiteListDlg::ForgetSelected);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_browser, 1);
  layout->addWidget(m_learnedTitle);
  layout->addWidget(m_learned);
  layout->addWidget(m_forget, 0, Qt::AlignRight);
  RefreshLearned();
}

void CSiteListDlg::RefreshLearned() {
  const QString selected = m_learned->currentItem()
                               ? m_learned->currentItem()->data(Qt::UserRole).toString()
                               : QString();
  m_learned->clear();
  for (const SiteRef& site : m_sites.Snapshot()) {
    if (!site->IsLearned()) continue;
    auto* item = new QListWidgetItem(FromLocal(site->GetName() + "  " + site->GetDomain() + "  " +
                                               LoadString(IDS_LEARNED_AT) + site->GetLearned()),
                                     m_learned);
    item->setData(Qt::UserRole, FromLocal(site->GetName()));
    if (item->data(Qt::UserRole).toString() == selected) m_learned->setCurrentItem(item);
  }
  const bool any = m_learned->count() > 0;
  for (QWidget* widget : {static_cast<QWidget*>(m_learnedTitle), static_cast<QWidget*>(m_learned),
                          static_cast<QWidget*>(m_forget)})
    widget->setVisible(any);
}

void CSiteListDlg::ForgetSelected() {
  QListWidgetItem* item = m_learned->currentItem();
  if (!item) return;
  ForgetLearnedSite(m_sites, ToLocal(item->data(Qt::UserRole).toString()),
                    ProgramFile("sites.xml"));
  RefreshLearned();
}

void CSiteListDlg::showEvent(QShowEvent* event) {
  // Shops learned in the add window meanwhile show up.
  RefreshLearned();
  QWidget::showEvent(event);
}

void CSiteListDlg::enterEvent(QEnterEvent* event) {
  RefreshLearned();
  QWidget::enterEvent(event);
}

CSiteListDlg::~CSiteListDlg() { m_tie->Cut(); }

void CSiteListDlg::Navigate(const std::string& url) {
  if (url.empty()) return;
  std::thread([tie = m_tie, url] {
    const std::string page = CSpider().GetPage(url, "utf-8");
    tie->Post([page](CSiteListDlg* panel) { panel->ShowPage(page); });
  }).detach();
}

void CSiteListDlg::ShowPage(const std::string& localPage) {
  m_browser->setHtml(FromLocal(localPage));
  emit pageShown();
}
