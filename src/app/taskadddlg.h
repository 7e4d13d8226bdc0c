#pragma once

#include <QDialog>

#include "engine/addtask.h"
#include "engine/site.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class CSpinEdit;

// The add window: a product link, its shop and the tracking choices. exec()
// gives kAddButton when "添加" was accepted, 0 when cancelled.
//
// Widgets by object name: "linkEdit", "siteCombo", "hourEdit" and
// "minuteEdit" (CSpinEdit), "trackPriceCheck", "trackStockCheck",
// "priceDownCheck", "priceUpCheck", "targetPriceEdit", "addButton",
// "cancelButton".
class CTaskAddDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kAddButton = 1086;

  CTaskAddDlg(CSiteList& sites, QWidget* parent = nullptr);

  // Everything the new-task command needs for the placeholder task
  // (MakePlaceholderTask), texts in the local code page; the link as typed.
  AddChoices GetChoices() const;

 private:
  void OnLinkChanged(const QString& text);
  void OnTrackPriceToggled(bool on);
  void OnAdd();

  CSiteList& m_sites;
  QLineEdit* m_link;
  QComboBox* m_site;
  CSpinEdit* m_hour;
  CSpinEdit* m_minute;
  QCheckBox* m_trackPrice;
  QCheckBox* m_trackStock;
  QCheckBox* m_priceDown;
  QCheckBox* m_priceUp;
  QLineEdit* m_targetPrice;
};
