#include "app/batcheditdlg.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "base/stringtable.h"
#include "controls/qtext.h"
#include "controls/skinbutton.h"
#include "controls/spinedit.h"
#include "engine/tracking.h"

namespace {

std::string FrequencyText(const CSpinEdit* box) {
  QString text = box->text().trimmed();
  return text.isEmpty() ? std::string("0") : ToLocal(text);
}

}  // namespace

CBatchEditDlg::CBatchEditDlg(QWidget* parent, const std::string& hour, const std::string& minute)
    : QDialog(parent), m_frequency(MakeFrequencyFields(this)) {
  setObjectName(QStringLiteral("CBatchEditDlg"));
  StyleTaskDialog(this, LoadQString(IDS_BATCH_EDIT_MENU));
  m_frequency.hour->setText(FromLocal(hour));
  m_frequency.minute->setText(FromLocal(minute));

  auto* form = new QFormLayout;
  form->setHorizontalSpacing(12);
  form->addRow(QStringLiteral("频率"), m_frequency.row);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 16);
  layout->setSpacing(16);
  layout->addLayout(form);
  CButtonST* edit = AddDialogButtons(this, layout, QStringLiteral("编辑"), "editButton");
  connect(edit, &QPushButton::clicked, this, &CBatchEditDlg::OnEdit);
}

void CBatchEditDlg::OnEdit() {
  if (CheckFrequency(GetFrequencyHour(), GetFrequencyMinute())) done(kEditButton);
}

std::string CBatchEditDlg::GetFrequencyHour() const { return FrequencyText(m_frequency.hour); }

std::string CBatchEditDlg::GetFrequencyMinute() const { return FrequencyText(m_frequency.minute); }
