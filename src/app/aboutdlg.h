#pragma once

#include <QDialog>

// The About box: the program's title and version and the links of section
// "Hosts" (home page, follow page, help), which open in the user's browser.
// Its "确定" button is named "okButton".
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};
