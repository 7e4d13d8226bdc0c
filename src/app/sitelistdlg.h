#pragma once

#include <memory>
#include <string>

#include <QWidget>

#include "app/widgettie.h"
#include "engine/site.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTextBrowser;

// The web panel of the right-hand column: the side-panel page, fetched with
// the program's page fetcher on a thread of its own and shown as rich text.
// Every link opens in the user's browser, never inside the program. Below
// it, the shops the program learned from their pages ("learnedList", one row
// per learned shop: name, host and when it was learned), which
// "forgetButton" deletes from the rules; the list hides while there is none.
class CSiteListDlg : public QWidget {
  Q_OBJECT
 public:
  explicit CSiteListDlg(CSiteList& sites, QWidget* parent = nullptr);
  ~CSiteListDlg() override;

  // Fetches `url` (local code page) and shows it when it arrives; an empty
  // address shows nothing.
  void Navigate(const std::string& url);
  QTextBrowser* Browser() const { return m_browser; }
  QListWidget* LearnedList() const { return m_learned; }
  // Shows the learned shops of the rules as they are now.
  void RefreshLearned();
  // Deletes the selected learned shop from the rules and sites.xml.
  void ForgetSelected();

 signals:
  // The page arrived and is shown (empty when the fetch failed).
  void pageShown();

 private:
  void ShowPage(const std::string& localPage);
  void showEvent(QShowEvent* event) override;
  void enterEvent(QEnterEvent* event) override;

  CSiteList& m_sites;
  QTextBrowser* m_browser;
  QLabel* m_learnedTitle;
  QListWidget* m_learned;
  QPushButton* m_forget;
  std::shared_ptr<CWidgetTie<CSiteListDlg>> m_tie;
};
