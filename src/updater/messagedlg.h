#pragma once

#include <QDialog>
#include <QString>

class QPushButton;
class QTextEdit;

// The updater's message dialog: the text and one button, "知道了", which
// gives IDOK; closing the window gives IDCANCEL.
class CUpdaterMessageDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CUpdaterMessageDlg(const QString& text, QWidget* parent = nullptr);

  // IDOK or IDCANCEL.
  int Run();

  QTextEdit* Text() const { return m_text; }
  QPushButton* GotItButton() const { return m_gotIt; }

 private:
  QTextEdit* m_text;
  QPushButton* m_gotIt;
};

// Makes every ShowMessage of the updater appear in its message dialog, on
// the GUI thread whichever thread asks (a worker waits for the answer).
void InstallUpdaterMessageHandler();
