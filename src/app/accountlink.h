#pragma once

#include <QPushButton>

// A text link of the account panels: RGB(38,99,146), RGB(13,162,231) under
// the mouse, a hand cursor, no frame.
QPushButton* MakeAccountLink(const QString& text, const char* objectName, QWidget* parent);

// A field of the login and registration forms; `secret` hides what is typed.
class QLineEdit;
QLineEdit* MakeFormField(const char* objectName, bool secret, QWidget* parent);

// A hint line under a form field, in red, empty while the field is fine.
class QLabel;
QLabel* MakeHintLine(const char* objectName, QWidget* parent);
void ShowHint(QLabel* hint, unsigned id);

// The layout the login and registration windows share: their form above a
// row with the accepting button (the default) and "Cancel", which rejects.
// Returns the accepting button.
class QDialog;
class QFormLayout;
QPushButton* LayOutAccountForm(QDialog* dialog, QFormLayout* form, const QString& acceptText,
                               const char* acceptName);
