#pragma once

#include <memory>
#include <string>

#include <QWidget>

#include "app/widgettie.h"
#include "engine/site.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The part of the add window that teaches the program a shop: it asks for
// the price the user sees on the product page, learns the shop from the
// page on a thread of its own and stores the learned record in the site
// list and in sites.xml. Hidden until Ask().
//
// Widgets by object name: "learnPrompt", "seenPriceEdit", "learnStartButton",
// "learnStatus".
class CLearnBox : public QWidget {
  Q_OBJECT
 public:
  CLearnBox(CSiteList& sites, QWidget* parent = nullptr);
  ~CLearnBox() override;

  // Shows the box for the product link (local code page); `noPrice` says
  // that the page was read before and gave no price.
  void Ask(const std::string& link, bool noPrice);
  bool Busy() const { return m_busy; }
  QLabel* Status() const { return m_status; }

 signals:
  // A shop was learned and stored.
  void learned(SiteRef site);

 private:
  void OnLearn();
  void OnLearned(bool ok, const CSite& site, const std::string& text);

  CSiteList& m_sites;
  std::string m_link;
  QLabel* m_prompt;
  QLineEdit* m_price;
  QPushButton* m_start;
  QLabel* m_status;
  bool m_busy = false;
  std::shared_ptr<CWidgetTie<CLearnBox>> m_tie;
};
