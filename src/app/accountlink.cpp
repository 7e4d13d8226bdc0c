#include "app/accountlink.h"

#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "controls/qtext.h"

QPushButton* MakeAccountLink(const QString& text, const char* objectName, QWidget* parent) {
  auto* link = new QPushButton(text, parent);
  link->setObjectName(QString::fromLatin1(objectName));
  link->setFlat(true);
  link->setCursor(Qt::PointingHandCursor);
  link->setStyleSheet(QStringLiteral(
      "QPushButton { color: rgb(38,99,146); border: none; padding: 0; text-decoration: underline; }"
      "QPushButton:hover { color: rgb(13,162,231); }"));
  return link;
}

QLabel* MakeHintLine(const char* objectName, QWidget* parent) {
  auto* hint = new QLabel(parent);
  hint->setObjectName(QString::fromLatin1(objectName));
  hint->setStyleSheet(QStringLiteral("color: rgb(220,40,40);"));
  return hint;
}

void ShowHint(QLabel* hint, unsigned id) { hint->setText(id ? LoadQString(id) : QString()); }

QLineEdit* MakeFormField(const char* objectName, bool secret, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(objectName));
  if (secret) edit->setEchoMode(QLineEdit::Password);
  return edit;
}

QPushButton* LayOutAccountForm(QDialog* dialog, QFormLayout* form, const QString& acceptText,
                               const char* acceptName) {
  auto* accept = new QPushButton(acceptText, dialog);
  accept->setObjectName(QString::fromLatin1(acceptName));
  accept->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("取消"), dialog);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(accept);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(dialog);
  layout->addLayout(form);
  layout->addLayout(buttons);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  return accept;
}
