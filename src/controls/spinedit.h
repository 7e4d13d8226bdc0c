#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

// An edit box for a small number with up and down arrows beside it, as the
// frequency fields use. The text is what the user typed (digits only, may be
// empty); the arrows step within the range.
class CSpinEdit : public QWidget {
  Q_OBJECT

 public:
  explicit CSpinEdit(QWidget* parent = nullptr);

  void SetRange(int minimum, int maximum);
  QString text() const;
  void setText(const QString& text);
  QLineEdit* Edit() const { return m_edit; }

  // What an arrow does: the text read as a number (empty counts as 0),
  // moved by `delta`, kept within the range.
  void Step(int delta);

 signals:
  void textChanged(const QString& text);

 private:
  QLineEdit* m_edit;
  QToolButton* m_up;
  QToolButton* m_down;
  int m_minimum = 0;
  int m_maximum = 99;
};
