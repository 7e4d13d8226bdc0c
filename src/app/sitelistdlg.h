#pragma once

#include <memory>
#include <string>

#include <QWidget>

class QTextBrowser;

// The web panel of the right-hand column: the side-panel page, fetched with
// the program's page fetcher on a thread of its own and shown as rich text.
// Every link opens in the user's browser, never inside the program.
class CSiteListDlg : public QWidget {
  Q_OBJECT
 public:
  explicit CSiteListDlg(QWidget* parent = nullptr);
  ~CSiteListDlg() override;

  // Fetches `url` (local code page) and shows it when it arrives; an empty
  // address shows nothing.
  void Navigate(const std::string& url);
  QTextBrowser* Browser() const { return m_browser; }

 signals:
  // The page arrived and is shown (empty when the fetch failed).
  void pageShown();

 private:
  struct Bridge;
  void ShowPage(const std::string& localPage);

  QTextBrowser* m_browser;
  std::shared_ptr<Bridge> m_bridge;
};
