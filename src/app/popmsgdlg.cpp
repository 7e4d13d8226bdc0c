#include "app/popmsgdlg.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <vector>

#include <QCursor>
#include <QEnterEvent>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "app/dealnotelook.h"
#include "app/windowjobs.h"
#include "base/openlink.h"
#include "base/stringtable.h"
#include "controls/qtext.h"

namespace {

constexpr int kWindowWidth = 260;
constexpr int kTextMargin = 10;
constexpr int kTextBoxWidth = kWindowWidth - 2 * kTextMargin;
constexpr int kFrameHeight = 2;
constexpr int kCaptionHeight = 24;
constexpr int kButtonHeight = 24;
constexpr int kButtonWidth = 70;
constexpr int kMinimumHeight = 155;

QRect WorkArea() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) return screen->availableGeometry();
  return QRect(0, 0, 1024, 768);
}

// A change waiting for room on screen: its texts only, so that a round in
// which thousands of prices change holds no window per change.
struct PendingPopMsg {
  std::string text;
  DealNote note;
  std::string url;
  std::string gotoUrl;
  CPopMsgContext context;
};

// The pop-ups on screen from the bottom up, the changes waiting for room,
// and the summary pop-up that stands for many.
struct PopMsgQueue {
  std::vector<QPointer<CPopMsgDlg>> shown;
  std::deque<PendingPopMsg> waiting;
  int summaryCount = 0;  // 0: no summary
  bool summaryMade = false;
  QPointer<CPopMsgDlg> summary;
  CPopMsgContext summaryContext;
};

PopMsgQueue& Queue() {
  static PopMsgQueue queue;
  return queue;
}

void Restack();

// However a pop-up goes (its time, "确定", the window system), its place is
// freed.
void FreePlaceWhenGone(CPopMsgDlg* popup) {
  popup->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(popup, &CPopMsgDlg::finished, popup, [] { QTimer::singleShot(0, Restack); });
  QObject::connect(popup, &QObject::destroyed, QCoreApplication::instance(),
                   [] { QTimer::singleShot(0, Restack); });
}

CPopMsgDlg* MakePopMsg(const PendingPopMsg& change) {
  auto* popup = new CPopMsgDlg(change.text, std::string(), change.context, change.note);
  FreePlaceWhenGone(popup);
  popup->SetLinkPending();
  CWindowJobs& jobs = change.context.jobs ? *change.context.jobs : CWindowJobs::Shared();
  jobs.Run(
      popup,
      [url = change.url, gotoUrl = change.gotoUrl, store = change.context.linkStore] {
        return RewriteShopLink(url, gotoUrl, ShopLinkKind::kTask, store);
      },
      [popup](const std::string& link) { popup->SetLink(link); });
  return popup;
}

CPopMsgDlg* MakeSummary(const PopMsgQueue& queue) {
  auto* popup =
      new CPopMsgDlg(PopMsgSummaryText(queue.summaryCount), std::string(), queue.summaryContext);
  FreePlaceWhenGone(popup);
  popup->SetGoToAction(queue.summaryContext.openChanges);
  return popup;
}

// Closed pop-ups leave the stack, the rest move down to close the gap, and
// waiting changes get their pop-ups while there is room.
void Restack() {
  PopMsgQueue& queue = Queue();
  std::erase_if(queue.shown, [](const QPointer<CPopMsgDlg>& p) { return !p || p->isHidden(); });
  // A summary that closed told of its changes; the next ones wait anew.
  if (queue.summaryMade && (!queue.summary || queue.summary->isHidden())) {
    queue.summaryMade = false;
    queue.summaryCount = 0;
    queue.summary = nullptr;
  }
  const QRect work = WorkArea();
  std::vector<int> heights;
  for (const auto& popup : queue.shown) {
    const int top = PopMsgStackTop(work, heights, popup->height());
    popup->PlaceBottomAt(std::max(top, work.top()) + popup->height() - 1);
    heights.push_back(popup->height());
  }
  for (;;) {
    const bool summaryNext = queue.waiting.empty();
    if (summaryNext && (queue.summaryCount == 0 || queue.summaryMade)) break;
    const int height = summaryNext
                           ? PopMsgHeight(PopMsgSummaryText(queue.summaryCount), DealNote{})
                           : PopMsgHeight(queue.waiting.front().text, queue.waiting.front().note);
    const int top = PopMsgStackTop(work, heights, height);
    if (top < 0) break;
    CPopMsgDlg* next = nullptr;
    if (summaryNext) {
      next = MakeSummary(queue);
      queue.summary = next;
      queue.summaryMade = true;
    } else {
      next = MakePopMsg(queue.waiting.front());
      queue.waiting.pop_front();
    }
    next->PlaceBottomAt(top + next->height() - 1);
    heights.push_back(next->height());
    queue.shown.push_back(next);
    next->show();
  }
}

std::int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

CPopMsgFade::CPopMsgFade(PopMsgClock clock, std::function<int()> autoClose)
    : m_clock(clock ? std::move(clock) : PopMsgClock(SteadyMs)),
      m_autoClose(std::move(autoClose)) {}

void CPopMsgFade::Tick() {
  switch (m_phase) {
    case Phase::kFadingIn:
      m_alpha = std::min(255, m_alpha + kAlphaStep);
      if (m_alpha == 255) {
        m_phase = Phase::kVisible;
        m_visibleSince = m_clock();
      }
      break;
    case Phase::kVisible:
      // The period does not run out under the mouse; leaving starts it again.
      if (m_hovered || m_clock() - m_visibleSince < kVisibleMs) break;
      // Read now, not at creation: a change made in the settings meanwhile
      // applies to pop-ups already open.
      m_phase = (m_autoClose ? m_autoClose() : 0) == 0 ? Phase::kFadingOut : Phase::kHeld;
      break;
    case Phase::kFadingOut:
      m_alpha -= kAlphaStep;
      if (m_alpha <= 0) {
        m_alpha = 0;
        m_phase = Phase::kClosed;
      }
      break;
    case Phase::kHeld:
    case Phase::kClosed:
      break;
  }
}

void CPopMsgFade::MouseEnter() {
  m_hovered = true;
  if (m_phase == Phase::kVisible || m_phase == Phase::kFadingOut || m_phase == Phase::kHeld) {
    m_phase = Phase::kVisible;
    m_alpha = 255;
  }
}

void CPopMsgFade::MouseLeave() {
  m_hovered = false;
  if (m_phase == Phase::kVisible || m_phase == Phase::kHeld) {
    m_phase = Phase::kVisible;
    m_visibleSince = m_clock();
  }
}

int PopMsgTextLines(const std::string& localText, int textBoxWidth) {
  int lines = 0;
  size_t start = 0;
  while (true) {
    const size_t end = localText.find('\n', start);
    const size_t length = (end == std::string::npos ? localText.size() : end) - start;
    const long long drawn = 7LL * static_cast<long long>(length);
    ++lines;
    if (textBoxWidth > 0 && drawn > textBoxWidth)
      lines += static_cast<int>(std::min<long long>(drawn / textBoxWidth, 100000));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

bool WindowSystemCanBlend() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal") &&
         platform != QLatin1String("linuxfb") && platform != QLatin1String("vnc") &&
         platform != QLatin1String("eglfs");
}

int PopMsgStackTop(const QRect& work, const std::vector<int>& heightsBelow, int height) {
  int bottom = work.bottom();
  for (int below : heightsBelow) bottom -= below;
  const int top = bottom - height + 1;
  // The first one always shows, however tall.
  if (heightsBelow.empty()) return std::max(top, work.top());
  return top >= work.top() ? top : -1;
}

int PopMsgWindowHeight(int lines, int frameHeight, int captionHeight, int buttonHeight) {
  return std::max(kMinimumHeight, 17 * lines + frameHeight + captionHeight + buttonHeight + 44);
}

CPopMsgDlg::CPopMsgDlg(const std::string& localText, const std::string& link,
                       const CPopMsgContext& context, const DealNote& note)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      m_fade(context.clock, context.popMsgAutoClose),
      m_link(link) {
  setWindowTitle(QStringLiteral("洛纳万特尔提示您"));
  setStyleSheet(
      QStringLiteral("CPopMsgDlg { background: white; border: 1px solid rgb(160,180,200); }"));
  setAttribute(Qt::WA_StyledBackground);

  auto* caption = new QLabel(windowTitle(), this);
  caption->setGeometry(0, 0, kWindowWidth, kCaptionHeight);
  caption->setIndent(8);
  caption->setStyleSheet(QStringLiteral("background: rgb(43,178,224); color: white;"));

  m_text = new QLabel(FromLocal(localText), this);
  m_text->setWordWrap(true);
  m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont font(LoadQString(IDS_UI_FONT));
  font.setPixelSize(12);
  font.setWeight(QFont::Bold);
  m_text->setFont(font);
  m_verdict = new QLabel(FromLocal(note.text), this);
  m_verdict->setWordWrap(true);
  m_verdict->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_verdict->setFont(font);
  QPalette verdictColour = m_verdict->palette();
  verdictColour.setColor(QPalette::WindowText, DealNoteColor(note));
  m_verdict->setPalette(verdictColour);
  m_verdict->setVisible(!note.text.empty());

  m_goTo = new QPushButton(QStringLiteral("去看看"), this);
  m_goTo->setStyleSheet(QStringLiteral("color: rgb(18,106,163);"));
  m_ok = new QPushButton(QStringLiteral("确定"), this);
  connect(m_goTo, &QPushButton::clicked, this, &CPopMsgDlg::ClickGoTo);
  connect(m_ok, &QPushButton::clicked, this, &CPopMsgDlg::Finish);

  m_blend = context.canBlend ? context.canBlend() : WindowSystemCanBlend();
  // Without blending the pop-up is simply there, and hidden when its time
  // is up.
  setWindowOpacity(m_blend ? 0.0 : 1.0);
  PlaceAtTrayCorner(localText, note);

  if (context.startTimer) {
    m_timer = new QTimer(this);
    m_timer->setInterval(CPopMsgFade::kTickMs);
    connect(m_timer, &QTimer::timeout, this, &CPopMsgDlg::Tick);
  }
}

CPopMsgDlg::~CPopMsgDlg() { StopWaitingForLink(); }

void CPopMsgDlg::StopWaitingForLink() {
  if (m_openWhenKnown) QGuiApplication::restoreOverrideCursor();
  m_openWhenKnown = false;
}

int PopMsgHeight(const std::string& localText, const DealNote& note) {
  int lines = PopMsgTextLines(localText, kTextBoxWidth);
  if (!note.text.empty()) lines += PopMsgTextLines(note.text, kTextBoxWidth);
  return PopMsgWindowHeight(lines, kFrameHeight, kCaptionHeight, kButtonHeight);
}

void CPopMsgDlg::PlaceAtTrayCorner(const std::string& localText, const DealNote& note) {
  const int textHeight = 17 * PopMsgTextLines(localText, kTextBoxWidth);
  const int height = PopMsgHeight(localText, note);
  const QRect work = WorkArea();
  // Bottom-right corner on the work area's, wherever the height ends.
  setGeometry(work.right() - kWindowWidth + 1, work.bottom() - height + 1, kWindowWidth, height);
  const int textRoom = height - kCaptionHeight - kButtonHeight - 20;
  m_text->setGeometry(kTextMargin, kCaptionHeight + 10, kTextBoxWidth,
                      std::min(textHeight, textRoom));
  // The verdict follows the change text on lines of its own.
  const int verdictTop = m_text->y() + m_text->height();
  m_verdict->setGeometry(kTextMargin, verdictTop, kTextBoxWidth,
                         std::max(0, kCaptionHeight + 10 + textRoom - verdictTop));
  const int buttonsTop = height - 6 - kButtonHeight;
  m_goTo->setGeometry(kWindowWidth / 2 - kButtonWidth - 5, buttonsTop, kButtonWidth, kButtonHeight);
  m_ok->setGeometry(kWindowWidth / 2 + 5, buttonsTop, kButtonWidth, kButtonHeight);
}

void CPopMsgDlg::PlaceBottomAt(int bottom) { move(x(), bottom - height() + 1); }

void CPopMsgDlg::Tick() {
  if (m_finished) return;
  m_fade.Tick();
  if (!m_blend) {
    if (m_fade.GetPhase() == CPopMsgFade::Phase::kFadingOut) Finish();
    return;
  }
  setWindowOpacity(m_fade.Alpha() / 255.0);
  if (m_fade.GetPhase() == CPopMsgFade::Phase::kClosed) Finish();
}

QString CPopMsgDlg::Text() const { return m_text->text(); }

void CPopMsgDlg::SetText(const std::string& localText) { m_text->setText(FromLocal(localText)); }

QString CPopMsgDlg::VerdictText() const { return m_verdict->text(); }

void CPopMsgDlg::SetLink(const std::string& link) {
  m_link = link;
  m_linkPending = false;
  if (m_openWhenKnown && !m_link.empty()) OpenLink(m_link);
  StopWaitingForLink();
}

void CPopMsgDlg::ClickGoTo() {
  if (m_goToAction) {
    m_goToAction();
    return;
  }
  if (m_linkPending) {
    // The commission service is still asked: the busy cursor says the click
    // was taken, until the link comes.
    if (!m_openWhenKnown) QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    m_openWhenKnown = true;
    return;
  }
  // An empty link opens nothing; the pop-up stays either way.
  if (!m_link.empty()) OpenLink(m_link);
}

void CPopMsgDlg::enterEvent(QEnterEvent* event) {
  m_fade.MouseEnter();
  if (!m_finished && m_blend) setWindowOpacity(m_fade.Alpha() / 255.0);
  QWidget::enterEvent(event);
}

void CPopMsgDlg::showEvent(QShowEvent* event) {
  // A pop-up waiting for room starts its life when it shows.
  if (m_timer && !m_timer->isActive() && !m_finished) m_timer->start();
  QWidget::showEvent(event);
}

void CPopMsgDlg::leaveEvent(QEvent* event) {
  m_fade.MouseLeave();
  QWidget::leaveEvent(event);
}

void CPopMsgDlg::Finish() {
  if (m_finished) return;
  m_finished = true;
  m_fade.Close();
  if (m_timer) m_timer->stop();
  hide();
  emit finished();
  close();
}

CPopMsgDlg* ShowPopMsg(const std::string& localText, const std::string& url,
                       const std::string& gotoUrl, const CPopMsgContext& context,
                       const DealNote& note) {
  PopMsgQueue& queue = Queue();
  if (queue.summaryCount > 0) {
    // The summary stands for every change until it closes.
    ++queue.summaryCount;
    if (queue.summary) queue.summary->SetText(PopMsgSummaryText(queue.summaryCount));
    return nullptr;
  }
  queue.waiting.push_back(PendingPopMsg{localText, note, url, gotoUrl, context});
  if (queue.waiting.size() > kMostWaitingPopMsgs) {
    queue.summaryCount = static_cast<int>(queue.waiting.size());
    queue.summaryContext = context;
    queue.waiting.clear();
  }
  Restack();
  // Waiting changes get their pop-ups in order: when none waits any more,
  // this one's was the last made.
  if (queue.summaryCount > 0 || !queue.waiting.empty()) return nullptr;
  return queue.shown.back();
}

std::string PopMsgSummaryText(int changes) {
  return std::to_string(changes) + LoadString(IDS_POPUP_SUMMARY);
}

std::vector<CPopMsgDlg*> ShownPopMsgs() {
  std::vector<CPopMsgDlg*> shown;
  for (const auto& popup : Queue().shown)
    if (popup && !popup->isHidden()) shown.push_back(popup);
  return shown;
}

size_t WaitingPopMsgs() { return Queue().waiting.size(); }

int PopMsgSummaryCount() { return Queue().summaryCount; }

void DropWaitingPopMsgs() {
  PopMsgQueue& queue = Queue();
  queue.waiting.clear();
  if (!queue.summaryMade) queue.summaryCount = 0;
}
