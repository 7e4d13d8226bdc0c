#include "app/taskeditdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "base/stringtable.h"
#include "controls/qtext.h"
#include "controls/skinbutton.h"
#include "controls/spinedit.h"
#include "engine/nocase.h"
#include "engine/tracking.h"

namespace {

QLineEdit* MakeEdit(const std::string& value, const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(FromLocal(value), parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setCursorPosition(0);
  return edit;
}

QCheckBox* MakeCheck(const char* text, const char* name, bool checked, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromUtf8(text), parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setChecked(checked);
  return box;
}

}  // namespace

CTaskEditDlg::CTaskEditDlg(const CTask& task, const CSiteList& sites, QWidget* parent)
    : QDialog(parent),
      m_original(task.GetValues()),
      m_sites(sites.Snapshot()),
      m_site(MakeSiteCombo(m_sites, this)),
      m_frequency(MakeFrequencyFields(this)),
      m_link(MakeEdit(m_original.url, "linkEdit", this)),
      m_name(MakeEdit(m_original.productName, "nameEdit", this)),
      m_productId(MakeEdit(m_original.productId, "productIdEdit", this)),
      m_image(MakeEdit(m_original.imageLink, "imageEdit", this)),
      m_price(MakeEdit(m_original.currentPrice, "priceEdit", this)),
      m_inStock(MakeCheck("是否有货", "inStockCheck", m_original.currentStock == 1, this)),
      m_tracked(MakeCheck("是否开启", "trackedCheck", m_original.status == 1, this)),
      m_tracking(MakeTrackingFields(this)) {
  setObjectName(QStringLiteral("CTaskEditDlg"));
  StyleTaskDialog(this, LoadQString(IDS_EDIT_TASK_MENU));
  m_link->setMinimumWidth(380);

  // The task's shop, even when the rules no longer list it, so that editing
  // other fields never loses it.
  int site = -1;
  for (size_t i = 0; i < m_sites.size() && site < 0; ++i)
    if (EqualNoCase(m_sites[i]->GetName(), m_original.siteName)) site = static_cast<int>(i);
  if (site < 0 && !m_original.siteName.empty()) {
    m_site->addItem(FromLocal(m_original.siteName));
    site = m_site->count() - 1;
  }
  m_site->setCurrentIndex(site);

  m_frequency.hour->setText(FromLocal(m_original.frequencyHour));
  m_frequency.minute->setText(FromLocal(m_original.frequencyMinute));
  m_tracking.trackPrice->setChecked(m_original.trackPrice);
  m_tracking.trackStock->setChecked(m_original.trackStock);
  m_tracking.priceDown->setChecked(m_original.priceDown);
  m_tracking.priceUp->setChecked(m_original.priceUp);
  m_tracking.targetPrice->setText(FromLocal(m_original.targetPrice));
  m_tracking.dropPercent->setText(FromLocal(m_original.dropPercent));
  m_tracking.note->setText(QStringLiteral("说明：目标价不为空时，系统只有在低于目标价时才提醒"));
  // setChecked(true) on a box that starts checked emits nothing.
  for (QWidget* follower :
       {static_cast<QWidget*>(m_tracking.priceDown), static_cast<QWidget*>(m_tracking.priceUp),
        static_cast<QWidget*>(m_tracking.targetPrice),
        static_cast<QWidget*>(m_tracking.dropPercent)})
    follower->setEnabled(m_original.trackPrice);

  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setHorizontalSpacing(12);
  form->setVerticalSpacing(8);
  form->addRow(QStringLiteral("跟踪网站"), m_site);
  form->addRow(QStringLiteral("频率"), m_frequency.row);
  form->addRow(QStringLiteral("商品链接"), m_link);
  form->addRow(QStringLiteral("商品名称"), m_name);
  form->addRow(QStringLiteral("商品ID"), m_productId);
  form->addRow(QStringLiteral("商品图片"), m_image);
  form->addRow(QStringLiteral("当前价格"), m_price);
  auto* checks = new QGridLayout;
  checks->addWidget(m_inStock, 0, 0);
  checks->addWidget(m_tracked, 0, 1);
  checks->addWidget(m_tracking.trackPrice, 1, 0);
  checks->addWidget(m_tracking.trackStock, 1, 1);
  checks->addWidget(m_tracking.priceDown, 2, 0);
  checks->addWidget(m_tracking.priceUp, 2, 1);
  form->addRow(QString(), checks);
  form->addRow(QStringLiteral("目标价"), m_tracking.targetPrice);
  form->addRow(QString(), m_tracking.note);
  form->addRow(QStringLiteral("降幅至少（%）"), m_tracking.dropPercent);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 16);
  layout->setSpacing(16);
  layout->addLayout(form);
  CButtonST* edit = AddDialogButtons(this, layout, QStringLiteral("编辑"), "editButton");
  connect(edit, &QPushButton::clicked, this, [this] {
    const CTaskValues values = GetValues();
    if (CheckFrequency(values.frequencyHour, values.frequencyMinute)) done(kEditButton);
  });
}

CTaskValues CTaskEditDlg::GetValues() const {
  CTaskValues values = m_original;
  std::string site = ToLocal(m_site->currentText());
  if (!EqualNoCase(site, m_original.siteName)) {
    values.siteDomain.clear();
    for (const SiteRef& candidate : m_sites)
      if (candidate->GetName() == site) {
        values.siteDomain = candidate->GetDomain();
        break;
      }
  }
  values.siteName = site;
  values.frequencyHour = ToLocal(m_frequency.hour->text());
  values.frequencyMinute = ToLocal(m_frequency.minute->text());
  values.url = ToLocal(m_link->text().trimmed());
  values.productName = ToLocal(m_name->text());
  values.productId = ToLocal(m_productId->text().trimmed());
  values.imageLink = ToLocal(m_image->text().trimmed());
  values.currentPrice = ToLocal(m_price->text().trimmed());
  // An undetermined stock or a first fetch still running stays as it was
  // unless the user ticked the box either way.
  if (m_inStock->isChecked() != (m_original.currentStock == 1))
    values.currentStock = m_inStock->isChecked() ? 1 : 0;
  if (m_tracked->isChecked() != (m_original.status == 1))
    values.status = m_tracked->isChecked() ? 1 : 0;
  values.trackPrice = m_tracking.trackPrice->isChecked();
  values.trackStock = m_tracking.trackStock->isChecked();
  values.priceDown = m_tracking.priceDown->isChecked();
  values.priceUp = m_tracking.priceUp->isChecked();
  values.targetPrice = ToLocal(m_tracking.targetPrice->text().trimmed());
  values.dropPercent = ToLocal(m_tracking.dropPercent->text().trimmed());
  return values;
}
