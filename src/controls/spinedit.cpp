#include "controls/spinedit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

CSpinEdit::CSpinEdit(QWidget* parent)
    : QWidget(parent),
      m_edit(new QLineEdit(this)),
      m_up(new QToolButton(this)),
      m_down(new QToolButton(this)) {
  // Digits only, as a number edit box takes them; the text may stay empty.
  m_edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")), m_edit));
  m_edit->setObjectName(QStringLiteral("spinText"));
  m_up->setArrowType(Qt::UpArrow);
  m_down->setArrowType(Qt::DownArrow);
  for (QToolButton* arrow : {m_up, m_down}) {
    arrow->setFixedSize(18, 12);
    arrow->setAutoRepeat(true);
    arrow->setFocusPolicy(Qt::NoFocus);
  }
  auto* arrows = new QVBoxLayout;
  arrows->setContentsMargins(0, 0, 0, 0);
  arrows->setSpacing(0);
  arrows->addWidget(m_up);
  arrows->addWidget(m_down);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  layout->addWidget(m_edit);
  layout->addLayout(arrows);
  setFocusProxy(m_edit);

  connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
  connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
  connect(m_edit, &QLineEdit::textChanged, this, &CSpinEdit::textChanged);
}

void CSpinEdit::SetRange(int minimum, int maximum) {
  m_minimum = minimum;
  m_maximum = qMax(minimum, maximum);
}

QString CSpinEdit::text() const { return m_edit->text(); }

void CSpinEdit::setText(const QString& text) { m_edit->setText(text); }

void CSpinEdit::Step(int delta) {
  int value = m_edit->text().toInt() + delta;  // empty or bad text reads 0
  m_edit->setText(QString::number(qBound(m_minimum, value, m_maximum)));
}
