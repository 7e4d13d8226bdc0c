#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QRect>

#include <QString>
#include <QWidget>

#include "engine/dealnote.h"
#include "services/shoplinks.h"

class CWindowJobs;

class QLabel;
class QPushButton;
class QTimer;

// Milliseconds from a monotonic clock; tests drive their own.
using PopMsgClock = std::function<std::int64_t()>;

// The life of a change pop-up, one 100 ms tick at a time: fade in by 85 per
// tick, stay fully visible for 5 seconds (longer while hovered, for good when
// "PopMsgAutoClose" is 1 at the end of the period), fade out by 85 per tick,
// closed.
class CPopMsgFade {
 public:
  enum class Phase { kFadingIn, kVisible, kHeld, kFadingOut, kClosed };
  static constexpr int kTickMs = 100;
  static constexpr int kAlphaStep = 85;
  static constexpr std::int64_t kVisibleMs = 5000;

  // `autoClose` reads the current "PopMsgAutoClose" (0 closes by itself).
  CPopMsgFade(PopMsgClock clock, std::function<int()> autoClose);

  void Tick();
  void MouseEnter();
  void MouseLeave();
  void Close() { m_phase = Phase::kClosed; }

  Phase GetPhase() const { return m_phase; }
  int Alpha() const { return m_alpha; }
  bool Hovered() const { return m_hovered; }

 private:
  PopMsgClock m_clock;
  std::function<int()> m_autoClose;
  Phase m_phase = Phase::kFadingIn;
  int m_alpha = 0;
  std::int64_t m_visibleSince = 0;
  bool m_hovered = false;
};

// Lines the text box needs: each "\n"-separated piece is one line, plus
// (7 x its length in bytes) / width more when 7 x length exceeds the width.
int PopMsgTextLines(const std::string& localText, int textBoxWidth);

// The height of the pop-up of a change text with its deal verdict.
int PopMsgHeight(const std::string& localText, const DealNote& note);

// The window's height for that many text lines: 17 per line plus the frame,
// caption, button and a 44-pixel margin, at least 155.
int PopMsgWindowHeight(int lines, int frameHeight, int captionHeight, int buttonHeight);

// What a pop-up needs besides its texts.
struct CPopMsgContext {
  std::function<int()> popMsgAutoClose;  // current "PopMsgAutoClose"; empty reads 0
  ShopLinkTaskStore linkStore;           // for the "去看看" link
  PopMsgClock clock;                     // empty: a monotonic clock
  bool startTimer = true;                // false: tests call Tick() themselves
  CWindowJobs* jobs = nullptr;           // where the link is looked up; null: the shared one
  // Whether the window system blends windows (the fades); empty asks
  // WindowSystemCanBlend. Without it the pop-up shows at once and is hidden
  // when its time is up.
  std::function<bool()> canBlend;
  // The summary pop-up's "去看看": opens the change list; may be empty.
  std::function<void()> openChanges;
};

// False on window systems that draw every window opaque (offscreen, frame
// buffers, VNC).
bool WindowSystemCanBlend();

// Where a pop-up of `height` goes in a stack that rises from the work
// area's bottom-right corner above pop-ups of `heightsBelow`: its top, or
// -1 when it no longer fits (it then waits for one to close).
int PopMsgStackTop(const QRect& work, const std::vector<int>& heightsBelow, int height);

// The frameless, topmost pop-up at the tray's corner of the screen with the
// change text, "去看看" (opens the product's shop link) and "确定".
class CPopMsgDlg : public QWidget {
  Q_OBJECT

 public:
  // `link` is the rewritten shop link (may be empty: "去看看" opens nothing).
  // A deal verdict shows under the text, green for a low, orange for a rise
  // undone.
  CPopMsgDlg(const std::string& localText, const std::string& link, const CPopMsgContext& context,
             const DealNote& note = DealNote{});
  ~CPopMsgDlg() override;

  // One 100 ms step of the fade; closes the window at the end.
  void Tick();
  const CPopMsgFade& Fade() const { return m_fade; }
  bool Blends() const { return m_blend; }
  // Moves the pop-up so that its bottom is at `bottom`, right edge on the
  // work area's.
  void PlaceBottomAt(int bottom);
  QString Text() const;
  void SetText(const std::string& localText);
  QString VerdictText() const;
  std::string Link() const { return m_link; }
  // The link once the rewriting came back; a "去看看" clicked before it
  // opens it now.
  void SetLink(const std::string& link);
  bool LinkPending() const { return m_linkPending; }
  void SetLinkPending() { m_linkPending = true; }
  // "去看看" runs `action` instead of opening a link (the summary pop-up).
  void SetGoToAction(std::function<void()> action) { m_goToAction = std::move(action); }
  void ClickGoTo();

 signals:
  void finished();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void PlaceAtTrayCorner(const std::string& localText, const DealNote& note);
  void Finish();
  void StopWaitingForLink();

  CPopMsgFade m_fade;
  std::string m_link;
  QLabel* m_text;
  QLabel* m_verdict;
  std::function<void()> m_goToAction;
  QPushButton* m_goTo;
  QPushButton* m_ok;
  QTimer* m_timer = nullptr;
  bool m_finished = false;
  bool m_linkPending = false;
  bool m_blend = true;
  bool m_openWhenKnown = false;  // the busy cursor shows while it is set
};

// Shows a pop-up for a change (GUI thread) and lets it run; it deletes
// itself when closed. Pop-ups open at once stand one above the other. A
// change that finds no room waits as its texts alone, and its pop-up is made
// when another closes and the rest move down; when more than
// kMostWaitingPopMsgs changes wait, one summary pop-up ("N个商品有变动",
// "去看看" opens the change list) stands for them and for every change that
// comes until it closes. The product's link (kind task) is rewritten on a
// worker once the pop-up is made, since that may ask the commission
// service. Returns the pop-up when it shows at once, else null.
inline constexpr size_t kMostWaitingPopMsgs = 5;
CPopMsgDlg* ShowPopMsg(const std::string& localText, const std::string& url,
                       const std::string& gotoUrl, const CPopMsgContext& context,
                       const DealNote& note = DealNote{});

// The summary pop-up's text, local code page.
std::string PopMsgSummaryText(int changes);
// The pop-ups on screen, from the bottom up.
std::vector<CPopMsgDlg*> ShownPopMsgs();
// Changes waiting for room one by one.
size_t WaitingPopMsgs();
// The changes the summary pop-up stands for; 0 when there is none.
int PopMsgSummaryCount();
// Forgets the changes waiting for room (and a summary not shown yet); the
// window calls it as it goes, since their pop-ups would use its workers.
void DropWaitingPopMsgs();
