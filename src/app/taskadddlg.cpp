#include "app/taskadddlg.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QPushButton>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/learnbox.h"
#include "base/message.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "controls/skinbutton.h"
#include "controls/spinedit.h"
#include "engine/generic.h"
#include "engine/productlink.h"
#include "engine/tracking.h"

CTaskAddDlg::CTaskAddDlg(CSiteList& sites, QWidget* parent)
    : QDialog(parent),
      m_siteList(sites),
      m_sites(sites.Snapshot()),
      m_link(new QLineEdit(this)),
      m_site(MakeSiteCombo(m_sites, this)),
      m_frequency(MakeFrequencyFields(this)),
      m_tracking(MakeTrackingFields(this)),
      m_wrongPrice(new QPushButton(LoadQString(IDS_LEARN_BUTTON), this)),
      m_learn(new CLearnBox(sites, this)) {
  setObjectName(QStringLiteral("CTaskAddDlg"));
  StyleTaskDialog(this, LoadQString(IDS_NEW_TASK_MENU));
  m_link->setObjectName(QStringLiteral("linkEdit"));
  m_link->setMinimumWidth(380);
  m_link->setPlaceholderText(QStringLiteral("http://"));
  m_frequency.hour->setText(QStringLiteral("1"));
  m_frequency.minute->setText(QStringLiteral("0"));

  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setHorizontalSpacing(12);
  form->setVerticalSpacing(10);
  m_wrongPrice->setObjectName(QStringLiteral("learnButton"));
  m_wrongPrice->setFlat(true);
  m_wrongPrice->setCursor(Qt::PointingHandCursor);
  auto* linkRow = new QHBoxLayout;
  linkRow->addWidget(m_link, 1);
  linkRow->addWidget(m_wrongPrice);
  form->addRow(QStringLiteral("商品链接"), linkRow);
  form->addRow(QString(), m_learn);
  form->addRow(QStringLiteral("跟踪网站"), m_site);
  form->addRow(QStringLiteral("频率"), m_frequency.row);
  auto* tracking = new QGridLayout;
  tracking->addWidget(m_tracking.trackPrice, 0, 0);
  tracking->addWidget(m_tracking.trackStock, 0, 1);
  tracking->addWidget(m_tracking.priceDown, 1, 0);
  tracking->addWidget(m_tracking.priceUp, 1, 1);
  form->addRow(QString(), tracking);
  form->addRow(QStringLiteral("目标价："), m_tracking.targetPrice);
  form->addRow(QString(), m_tracking.note);
  form->addRow(QStringLiteral("降幅至少（%）："), m_tracking.dropPercent);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 16);
  layout->setSpacing(16);
  layout->addLayout(form);
  CButtonST* add = AddDialogButtons(this, layout, QStringLiteral("添加"), "addButton");

  connect(m_link, &QLineEdit::textChanged, this, &CTaskAddDlg::OnLinkChanged);
  connect(add, &QPushButton::clicked, this, &CTaskAddDlg::OnAdd);
  connect(m_wrongPrice, &QPushButton::clicked, this, &CTaskAddDlg::OnWrongPrice);
  connect(m_learn, &CLearnBox::learned, this, &CTaskAddDlg::OnLearned);
}

void CTaskAddDlg::OnLinkChanged(const QString& text) {
  // A link whose page gave no price last time: the user can say what it is.
  const std::string link = ToLocal(text.trimmed());
  if (!m_learn->isVisible() && GenericShopTakes(link) &&
      (WasUnpricedLink(link) || WasUnpricedLink(LinkWithoutFragment(link))))
    m_learn->Ask(link, true);
  // Only a guess for a link that looks complete, and never over the user's
  // own choice.
  if (m_site->currentIndex() >= 0) return;
  SiteRef guess = GuessSiteFromLink(m_siteList, ToLocal(text));
  if (!guess) return;
  auto found = std::find(m_sites.begin(), m_sites.end(), guess);
  if (found != m_sites.end()) m_site->setCurrentIndex(static_cast<int>(found - m_sites.begin()));
}

void CTaskAddDlg::OnAdd() {
  AddChoices choices = GetChoices();
  if (choices.link.empty()) {
    ShowMessage(IDS_ENTER_LINK, kMessageInfo);
    return;
  }
  // A web link of a shop without rules goes to the general shop.
  m_generalShop = choices.siteName.empty() && GenericShopTakes(choices.link);
  if (choices.siteName.empty() && !m_generalShop) {
    ShowMessage(IDS_LINK_NOT_SUPPORTED, kMessageInfo);
    return;
  }
  if (!CheckFrequency(choices.frequencyHour, choices.frequencyMinute)) return;
  done(kAddButton);
}

void CTaskAddDlg::OnWrongPrice() {
  const std::string link = ToLocal(m_link->text().trimmed());
  if (!GenericShopTakes(link)) {
    ShowMessage(IDS_ENTER_LINK, kMessageInfo);
    return;
  }
  m_learn->Ask(link, false);
}

void CTaskAddDlg::OnLearned(const SiteRef& site) {
  // The learned shop joins the drop-down and reads the link from now on.
  m_sites = m_siteList.Snapshot();
  m_site->clear();
  for (const SiteRef& each : m_sites) m_site->addItem(FromLocal(each->GetName()));
  auto found = std::find_if(m_sites.begin(), m_sites.end(), [&](const SiteRef& each) {
    return each->GetName() == site->GetName();
  });
  m_site->setCurrentIndex(found == m_sites.end() ? -1 : static_cast<int>(found - m_sites.begin()));
}

AddChoices CTaskAddDlg::GetChoices() const {
  AddChoices choices;
  // A pasted link often brings blanks along; they are never part of it.
  choices.link = ToLocal(m_link->text().trimmed());
  int site = m_site->currentIndex();
  if (site >= 0 && site < static_cast<int>(m_sites.size()))
    choices.siteName = m_sites[static_cast<size_t>(site)]->GetName();
  else if (m_generalShop)
    choices.siteName = GenericSiteName();
  choices.frequencyHour = ToLocal(m_frequency.hour->text());
  choices.frequencyMinute = ToLocal(m_frequency.minute->text());
  choices.trackPrice = m_tracking.trackPrice->isChecked();
  choices.trackStock = m_tracking.trackStock->isChecked();
  choices.priceDown = m_tracking.priceDown->isChecked();
  choices.priceUp = m_tracking.priceUp->isChecked();
  choices.targetPrice = ToLocal(m_tracking.targetPrice->text().trimmed());
  choices.dropPercent = ToLocal(m_tracking.dropPercent->text().trimmed());
  return choices;
}
