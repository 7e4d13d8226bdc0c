#pragma once

#include <vector>

#include <QDialog>

#include "app/taskform.h"
#include "engine/addtask.h"
#include "engine/site.h"

class CLearnBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The add window: a product link, its shop and the tracking choices. exec()
// gives kAddButton when "添加" was accepted, 0 when cancelled.
//
// Widgets by object name: "linkEdit", "siteCombo", "hourEdit" and
// "minuteEdit" (CSpinEdit), "trackPriceCheck", "trackStockCheck",
// "priceDownCheck", "priceUpCheck", "targetPriceEdit", "addButton",
// "cancelButton", "learnButton" ("价格不对？": teach the program the shop
// of a web link) and the CLearnBox "learnBox", which also opens by itself
// for a link whose page gave no price when it was last added.
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
  void OnAdd();
  void OnWrongPrice();
  void OnLearned(const SiteRef& site);

  CSiteList& m_siteList;
  std::vector<SiteRef> m_sites;  // in the order of the drop-down
  QLineEdit* m_link;
  QComboBox* m_site;
  FrequencyFields m_frequency;
  TrackingFields m_tracking;
  QPushButton* m_wrongPrice;
  CLearnBox* m_learn;
  // "添加" took a web link that no shop of the drop-down knows.
  bool m_generalShop = false;
};
