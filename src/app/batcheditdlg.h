#pragma once

#include <string>

#include <QDialog>

#include "app/taskform.h"

// The window that sets the frequency of several tasks at once. "编辑"
// refuses a frequency below one minute with message 57745 and stays open;
// otherwise exec() gives kEditButton (0 when cancelled).
//
// Widgets by object name: "hourEdit", "minuteEdit" (CSpinEdit),
// "editButton", "cancelButton".
class CBatchEditDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kEditButton = 1087;

  // The boxes start with the given texts (local code page).
  explicit CBatchEditDlg(QWidget* parent = nullptr, const std::string& hour = {},
                         const std::string& minute = {});

  // The texts to give every selected task; an empty box reads "0".
  std::string GetFrequencyHour() const;
  std::string GetFrequencyMinute() const;

 private:
  void OnEdit();

  FrequencyFields m_frequency;
};
