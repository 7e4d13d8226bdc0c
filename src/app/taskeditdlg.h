#pragma once

#include <vector>

#include <QDialog>

#include "app/taskform.h"
#include "engine/site.h"
#include "engine/task.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

// The edit window of one task: every saved value the user may change.
// exec() gives kEditButton when "编辑" was pressed, 0 when cancelled.
//
// Widgets by object name: "siteCombo", "hourEdit", "minuteEdit" (CSpinEdit),
// "linkEdit", "nameEdit", "productIdEdit", "imageEdit", "priceEdit",
// "inStockCheck", "trackPriceCheck", "trackStockCheck", "trackedCheck",
// "priceDownCheck", "priceUpCheck", "targetPriceEdit", "editButton",
// "cancelButton".
class CTaskEditDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kEditButton = 1087;

  CTaskEditDlg(const CTask& task, const CSiteList& sites, QWidget* parent = nullptr);

  // The values of the new task: the task's own where the window shows none
  // (GotoUrl, LastUpdate), the window's elsewhere. Status is 1 or 0 from
  // "是否开启"; the stock is 1 or 0 from "是否有货", or the task's own
  // (-1 undetermined) while that box was left as it was. SiteDomain follows
  // the site when another one was chosen.
  CTaskValues GetValues() const;

 private:
  CTaskValues m_original;
  std::vector<SiteRef> m_sites;  // in the order of the drop-down
  QComboBox* m_site;
  FrequencyFields m_frequency;
  QLineEdit* m_link;
  QLineEdit* m_name;
  QLineEdit* m_productId;
  QLineEdit* m_image;
  QLineEdit* m_price;
  QCheckBox* m_inStock;
  QCheckBox* m_tracked;
  TrackingFields m_tracking;
};
