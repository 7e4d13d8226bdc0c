#pragma once

#include <QDialog>
#include <QString>

// The two boxes through which the program talks to the user. exec() gives
// IDOK for CMsgDlg and IDYES, IDNO or IDCANCEL for CWhetherMsgDlg (closing
// the box counts as cancel). Buttons are named "okButton", "yesButton",
// "noButton" and "cancelButton" and the text "messageText", so that tests can
// find and press them.
class CMsgDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CMsgDlg(const QString& text, QWidget* parent = nullptr);
  void reject() override;
};

class CWhetherMsgDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CWhetherMsgDlg(const QString& text, QWidget* parent = nullptr);
  void reject() override;
};

// Shows the box of `kind` (1 information, 2 question) modally on the calling
// thread, which must be the GUI thread; any other kind shows nothing and
// gives 0.
int RunMessageBox(int kind, const QString& text);

// Makes ShowMessage (base/message.h) show these boxes. Call on the GUI thread
// after the QApplication exists. From the GUI thread a box runs at once; from
// any other thread the box opens on the GUI thread and the caller waits for
// the answer. Once the application is quitting (or gone) no box opens and the
// caller gets IDOK for information and IDCANCEL for a question.
void InstallMessageBoxes();

// What quitting does to the boxes: every worker waiting for an answer gets
// the unanswered result at once, and no box opens until InstallMessageBoxes
// is called again.
void AbandonMessageBoxes();
