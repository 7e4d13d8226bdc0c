#pragma once

#include <vector>

#include <QString>

#include "engine/site.h"

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QWidget;
class CButtonST;
class CSpinEdit;

// Pieces the add, edit and batch-edit windows share, so that the three look
// and behave alike.

// The windows' common look: white background, the UI font, no help button.
void StyleTaskDialog(QDialog* dialog, const QString& title);

// "频率" hours (0 to 24) "小时" minutes (0 to 60) "分钟", as one row.
struct FrequencyFields {
  CSpinEdit* hour;
  CSpinEdit* minute;
  QWidget* row;
};
FrequencyFields MakeFrequencyFields(QWidget* parent);

// The tracking choices with the target price and its note. The two
// reminder boxes and the target price follow "跟踪价格变化": enabled only
// while it is checked.
struct TrackingFields {
  QCheckBox* trackPrice;
  QCheckBox* trackStock;
  QCheckBox* priceDown;
  QCheckBox* priceUp;
  QLineEdit* targetPrice;
  QLabel* note;
  // The least drop worth telling, in per cent (empty: any drop).
  QLineEdit* dropPercent;
};
TrackingFields MakeTrackingFields(QWidget* parent);

// A drop-down of the sites' names in list order, nothing selected.
QComboBox* MakeSiteCombo(const std::vector<SiteRef>& sites, QWidget* parent);

// The action button (named `name`) and "取消" (named "cancelButton", which
// rejects), right-aligned in a row added to `layout`. Returns the action.
CButtonST* AddDialogButtons(QDialog* dialog, QBoxLayout* layout, const QString& action,
                            const char* name);
