#include "app/learnbox.h"

#include <thread>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/programdir.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "engine/learn.h"
#include "engine/sitelearned.h"

CLearnBox::CLearnBox(CSiteList& sites, QWidget* parent)
    : QWidget(parent),
      m_sites(sites),
      m_prompt(new QLabel(this)),
      m_price(new QLineEdit(this)),
      m_start(new QPushButton(LoadQString(IDS_LEARN_START), this)),
      m_status(new QLabel(this)),
      m_tie(std::make_shared<CWidgetTie<CLearnBox>>(this)) {
  setObjectName(QStringLiteral("learnBox"));
  m_prompt->setObjectName(QStringLiteral("learnPrompt"));
  m_price->setObjectName(QStringLiteral("seenPriceEdit"));
  m_start->setObjectName(QStringLiteral("learnStartButton"));
  m_status->setObjectName(QStringLiteral("learnStatus"));
  m_status->setWordWrap(true);
  auto* row = new QHBoxLayout;
  row->addWidget(m_price, 1);
  row->addWidget(m_start);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_prompt);
  layout->addLayout(row);
  layout->addWidget(m_status);
  connect(m_start, &QPushButton::clicked, this, &CLearnBox::OnLearn);
  connect(m_price, &QLineEdit::returnPressed, this, &CLearnBox::OnLearn);
  hide();
}

CLearnBox::~CLearnBox() { m_tie->Cut(); }

void CLearnBox::Ask(const std::string& link, bool noPrice) {
  m_link = link;
  m_prompt->setText(LoadQString(noPrice ? IDS_LEARN_ASK_NO_PRICE : IDS_LEARN_ASK));
  m_status->clear();
  show();
  m_price->setFocus();
}

void CLearnBox::OnLearn() {
  const std::string price = ToLocal(m_price->text().trimmed());
  if (m_busy || price.empty() || m_link.empty()) return;
  m_busy = true;
  m_start->setEnabled(false);
  m_status->setText(LoadQString(IDS_LEARN_RUNNING));
  // Fetching and learning take a moment; the window stays responsive.
  std::thread([tie = m_tie, link = m_link, price] {
    LearnRequest request;
    request.link = link;
    request.price = price;
    std::string why;
    request.page = FetchPageToLearn(link, request.charset, why);
    LearnedShop shop;
    if (!request.page.empty()) shop = LearnShop(request);
    const std::string text = request.page.empty() ? why : shop.learned ? shop.price : shop.why;
    tie->Post([ok = shop.learned, site = shop.site, text](CLearnBox* box) {
      box->OnLearned(ok, site, text);
    });
  }).detach();
}

void CLearnBox::OnLearned(bool ok, const CSite& site, const std::string& text) {
  m_busy = false;
  m_start->setEnabled(true);
  if (!ok) {
    m_status->setText(FromLocal(text));
    return;
  }
  auto stored = std::make_shared<const CSite>(site);
  if (!StoreLearnedSite(m_sites, stored, ProgramFile("sites.xml"))) {
    m_status->setText(LoadQString(IDS_LEARN_SAVE_FAILED));
    return;
  }
  m_status->setText(LoadQString(IDS_LEARN_DONE) + FromLocal(site.GetName()) + QStringLiteral("（") +
                    FromLocal(text) + QStringLiteral("）"));
  emit learned(stored);
}
