#pragma once

#include <functional>

#include <QDialog>
#include <QRect>
#include <QSize>
#include <QString>

// The two boxes through which the program talks to the user. exec() gives
// IDOK for CMsgDlg and IDYES, IDNO or IDCANCEL for CWhetherMsgDlg (closing
// the box counts as cancel). Buttons are named "okButton", "yesButton",
// "noButton" and "cancelButton" and the text "messageText", so that tests can
// find and press them.
// Where the parts of a box go. The box is as wide as the picture, the text
// (7 pixels a byte, up to kMaxMessageTextWidth, then it wraps) and 70
// pixels, at least the buttons' width and 40; as high as a button and 84
// pixels (the caption bar is the window frame's), plus the lines a long text
// wraps onto. The text
// starts beside the picture near the top; the buttons sit 5 pixels above the
// bottom.
inline constexpr int kMaxMessageTextWidth = 420;
struct MessageBoxLayout {
  QSize box;
  QRect picture;
  QRect text;
  int buttonsTop = 0;
};
// `textHeightFor` gives the text's height at a width.
MessageBoxLayout LayOutMessageBox(int pictureWidth, int textBytes, int minimumWidth,
                                  int buttonHeight, const std::function<int(int)>& textHeightFor);

class CMsgDlg : public QDialog {
  Q_OBJECT

 public:
  // A success shows the information picture, anything else the warning.
  explicit CMsgDlg(const QString& text, QWidget* parent = nullptr, bool success = false);
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
// gives 0. `id` is the message's string (IsSuccessMessage picks the picture).
int RunMessageBox(int kind, const QString& text, unsigned id = 0);

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
