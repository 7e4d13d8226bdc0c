#include "app/taskform.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "controls/qtext.h"
#include "controls/skin.h"
#include "controls/skinbutton.h"
#include "controls/spinedit.h"

namespace {

QCheckBox* MakeCheck(const char* text, const char* name, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromUtf8(text), parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setChecked(true);
  return box;
}

CSpinEdit* MakeSpin(const char* name, int maximum, QWidget* parent) {
  auto* spin = new CSpinEdit(parent);
  spin->setObjectName(QString::fromLatin1(name));
  spin->SetRange(0, maximum);
  spin->Edit()->setFixedWidth(44);
  return spin;
}

}  // namespace

void StyleTaskDialog(QDialog* dialog, const QString& title) {
  dialog->setWindowTitle(title);
  dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
  dialog->setFont(UiFont(13));
  dialog->setStyleSheet(QStringLiteral(
      "QDialog { background: #ffffff; }"
      "QLineEdit, QComboBox { border: 1px solid #c8ccd2; border-radius: 3px; padding: 3px 5px;"
      " background: #ffffff; }"
      "QLineEdit:focus, QComboBox:focus { border-color: #3d8ee6; }"
      "QLineEdit:disabled { background: #f2f3f5; color: #a0a0a0; }"
      "QLabel#noteLabel { color: #808080; }"));
}

FrequencyFields MakeFrequencyFields(QWidget* parent) {
  FrequencyFields fields{MakeSpin("hourEdit", 24, parent), MakeSpin("minuteEdit", 60, parent),
                         new QWidget(parent)};
  auto* row = new QHBoxLayout(fields.row);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(fields.hour);
  row->addWidget(new QLabel(QStringLiteral("小时"), fields.row));
  row->addSpacing(12);
  row->addWidget(fields.minute);
  row->addWidget(new QLabel(QStringLiteral("分钟"), fields.row));
  row->addStretch(1);
  return fields;
}

TrackingFields MakeTrackingFields(QWidget* parent) {
  TrackingFields fields{
      MakeCheck("跟踪价格变化", "trackPriceCheck", parent),
      MakeCheck("跟踪库存变化", "trackStockCheck", parent),
      MakeCheck("价格下降提醒", "priceDownCheck", parent),
      MakeCheck("价格上升提醒", "priceUpCheck", parent),
      new QLineEdit(parent),
      new QLabel(QStringLiteral("目标价不为空时，系统只有在低于目标价时才提醒"), parent),
      new QLineEdit(parent)};
  fields.targetPrice->setObjectName(QStringLiteral("targetPriceEdit"));
  fields.dropPercent->setObjectName(QStringLiteral("dropPercentEdit"));
  fields.dropPercent->setPlaceholderText(QStringLiteral("空则任何降价都提醒"));
  fields.dropPercent->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("([1-9][0-9]?|0)?(\\.[0-9]{0,2})?")), fields.dropPercent));
  fields.note->setObjectName(QStringLiteral("noteLabel"));
  fields.note->setWordWrap(true);
  QObject::connect(fields.trackPrice, &QCheckBox::toggled, parent, [fields](bool on) {
    fields.priceDown->setEnabled(on);
    fields.priceUp->setEnabled(on);
    fields.targetPrice->setEnabled(on);
    fields.dropPercent->setEnabled(on);
  });
  return fields;
}

QComboBox* MakeSiteCombo(const std::vector<SiteRef>& sites, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QStringLiteral("siteCombo"));
  for (const SiteRef& site : sites) combo->addItem(FromLocal(site->GetName()));
  combo->setCurrentIndex(-1);
  combo->setMinimumWidth(160);
  return combo;
}

CButtonST* AddDialogButtons(QDialog* dialog, QBoxLayout* layout, const QString& action,
                            const char* name) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  auto* actionButton = new CButtonST(action, dialog);
  actionButton->setObjectName(QString::fromLatin1(name));
  actionButton->setDefault(true);
  auto* cancel = new CButtonST(QStringLiteral("取消"), dialog);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  for (CButtonST* button : {actionButton, cancel}) {
    button->SetBackground(QStringLiteral("imgs/Btn1Bkg.png"),
                          QStringLiteral("imgs/Btn1HotBkg.png"));
    button->setFixedSize(80, 28);
    row->addWidget(button);
  }
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  layout->addLayout(row);
  return actionButton;
}
