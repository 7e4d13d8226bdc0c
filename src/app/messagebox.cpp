#include "app/messagebox.h"

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QThread>
#include <QVBoxLayout>

#include "base/message.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "controls/skin.h"
#include "controls/skinbutton.h"

namespace {

constexpr int kButtonWidth = 76;
constexpr int kButtonHeight = 28;

CButtonST* MakeBoxButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new CButtonST(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->SetBackground(QStringLiteral("imgs/Btn1Bkg.png"), QStringLiteral("imgs/Btn1HotBkg.png"));
  button->setFixedSize(kButtonWidth, kButtonHeight);
  return button;
}

// Builds the picture and the text of a box; the buttons are added by the
// caller and placed by PlaceBox.
void BuildBox(QDialog* box, const QString& caption, const QString& picture, const QString& text) {
  box->setWindowTitle(caption);
  box->setWindowModality(Qt::ApplicationModal);
  box->setWindowFlags(box->windowFlags() & ~Qt::WindowContextHelpButtonHint);
  box->setStyleSheet(QStringLiteral("QDialog { background: #ffffff; }"));

  auto* image = new QLabel(box);
  image->setObjectName(QStringLiteral("messagePicture"));
  image->setProperty("skinImage", picture);
  QPixmap pixmap = SkinPixmap(picture);
  if (!pixmap.isNull()) image->setPixmap(pixmap);

  auto* label = new QLabel(text, box);
  label->setObjectName(QStringLiteral("messageText"));
  label->setFont(UiFont(12));
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setStyleSheet(QStringLiteral("color: #303030;"));
}

// Sizes the box and places its parts; the buttons are centred as a group,
// 10 pixels apart, 5 pixels above the bottom.
void PlaceBox(QDialog* box, const std::vector<QWidget*>& buttons) {
  auto* image = box->findChild<QLabel*>(QStringLiteral("messagePicture"));
  auto* label = box->findChild<QLabel*>(QStringLiteral("messageText"));
  const QPixmap pixmap = image->pixmap();
  const int textBytes = static_cast<int>(ToLocal(label->text()).size());
  const int buttonsWidth =
      static_cast<int>(buttons.size()) * kButtonWidth + 10 * (static_cast<int>(buttons.size()) - 1);
  const MessageBoxLayout layout = LayOutMessageBox(
      pixmap.isNull() ? 0 : pixmap.width(), textBytes, buttons.size() > 1 ? buttonsWidth : 0,
      kButtonHeight, [label](int width) { return label->heightForWidth(width); });
  box->setFixedSize(layout.box);
  image->setGeometry(QRect(layout.picture.topLeft(), pixmap.isNull() ? QSize() : pixmap.size()));
  label->setGeometry(layout.text);
  int x = (layout.box.width() - buttonsWidth) / 2;
  for (QWidget* button : buttons) {
    button->setGeometry(x, layout.buttonsTop, kButtonWidth, kButtonHeight);
    x += kButtonWidth + 10;
  }
}

}  // namespace

MessageBoxLayout LayOutMessageBox(int pictureWidth, int textBytes, int minimumWidth,
                                  int buttonHeight, const std::function<int(int)>& textHeightFor) {
  MessageBoxLayout layout;
  const int textWidth = std::min(7 * std::max(textBytes, 1), kMaxMessageTextWidth);
  const int width = std::max(pictureWidth + textWidth + 70, minimumWidth + 40);
  // The 84 pixels make room for one line; a wrapped text makes the box
  // taller by its further lines.
  const int oneLine = textHeightFor(100000);
  const int textHeight = std::max(oneLine, textHeightFor(textWidth));
  const int height = buttonHeight + 84 + (textHeight - oneLine);
  layout.box = QSize(width, height);
  // The window's caption bar is outside these client coordinates.
  layout.picture = QRect(20, 20, pictureWidth, pictureWidth);
  layout.text = QRect(20 + pictureWidth + 20, 26, textWidth, textHeight);
  layout.buttonsTop = height - 5 - buttonHeight;
  return layout;
}

namespace {

int UnansweredResult(int kind) { return kind == kMessageInfo ? IDOK : IDCANCEL; }

// Workers waiting for a box on the GUI thread. Once the application quits,
// g_quitting releases them all, so a thread the GUI waits for never hangs in
// a box that will not open.
std::mutex g_lock;
std::condition_variable g_answered;
bool g_quitting = false;

struct PendingAnswer {
  bool done = false;
  bool abandoned = false;  // the worker went on without an answer
  int answer = 0;
};

bool IsQuitting() {
  std::lock_guard lock(g_lock);
  return g_quitting || !QCoreApplication::instance();
}

int ShowFromWorker(int kind, const QString& text, unsigned id) {
  auto pending = std::make_shared<PendingAnswer>();
  std::unique_lock lock(g_lock);
  QCoreApplication* app = QCoreApplication::instance();
  if (g_quitting || !app) return UnansweredResult(kind);
  // Posted while holding the lock: the post routine that marks the
  // application gone takes it too, so the application is alive here.
  bool posted = QMetaObject::invokeMethod(
      app,
      [pending, kind, text, id] {
        bool wanted;
        {
          std::lock_guard check(g_lock);
          wanted = !pending->abandoned && !g_quitting;
        }
        int answer = wanted ? RunMessageBox(kind, text, id) : UnansweredResult(kind);
        {
          std::lock_guard answered(g_lock);
          pending->done = true;
          pending->answer = answer;
        }
        g_answered.notify_all();
      },
      Qt::QueuedConnection);
  if (!posted) return UnansweredResult(kind);
  g_answered.wait(lock, [&] { return pending->done || g_quitting; });
  if (pending->done) return pending->answer;
  pending->abandoned = true;
  return UnansweredResult(kind);
}

int ShowFromAnyThread(int kind, const QString& text, unsigned id) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app && QThread::currentThread() == app->thread())
    return IsQuitting() ? UnansweredResult(kind) : RunMessageBox(kind, text, id);
  return ShowFromWorker(kind, text, id);
}

void StopMessageBoxes() {
  {
    std::lock_guard lock(g_lock);
    g_quitting = true;
  }
  g_answered.notify_all();
}

}  // namespace

CMsgDlg::CMsgDlg(const QString& text, QWidget* parent, bool success) : QDialog(parent) {
  setObjectName(QStringLiteral("CMsgDlg"));
  BuildBox(this, LoadQString(IDS_MESSAGE_CAPTION),
           success ? QStringLiteral("imgs/Info.png") : QStringLiteral("imgs/Alert.png"), text);
  CButtonST* ok = MakeBoxButton(QStringLiteral("确定"), "okButton", this);
  ok->setDefault(true);
  PlaceBox(this, {ok});
  connect(ok, &QPushButton::clicked, this, [this] { done(IDOK); });
}

void CMsgDlg::reject() { done(IDOK); }

CWhetherMsgDlg::CWhetherMsgDlg(const QString& text, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CWhetherMsgDlg"));
  BuildBox(this, LoadQString(IDS_QUESTION_CAPTION), QStringLiteral("imgs/Ques.png"), text);
  std::vector<QWidget*> buttons;
  struct Choice {
    const char* text;
    const char* name;
    int result;
  };
  for (const Choice& choice : {Choice{"是", "yesButton", IDYES}, Choice{"否", "noButton", IDNO},
                               Choice{"取消", "cancelButton", IDCANCEL}}) {
    CButtonST* button = MakeBoxButton(QString::fromUtf8(choice.text), choice.name, this);
    buttons.push_back(button);
    int result = choice.result;
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
  }
  PlaceBox(this, buttons);
}

void CWhetherMsgDlg::reject() { done(IDCANCEL); }

int RunMessageBox(int kind, const QString& text, unsigned id) {
  QWidget* parent = QApplication::activeWindow();
  if (kind == kMessageInfo) {
    CMsgDlg box(text, parent, IsSuccessMessage(id));
    return box.exec();
  }
  if (kind == kMessageQuestion) {
    CWhetherMsgDlg box(text, parent);
    return box.exec();
  }
  return 0;
}

void InstallMessageBoxes() {
  static bool hooked = false;
  {
    std::lock_guard lock(g_lock);
    g_quitting = false;
  }
  if (!hooked && QCoreApplication::instance()) {
    hooked = true;
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                     &StopMessageBoxes);
    // Runs first thing in the application's destructor.
    qAddPostRoutine(&StopMessageBoxes);
  }
  SetMessageHandler([](unsigned id, int kind, const std::string& localText) {
    return ShowFromAnyThread(kind, FromLocal(localText), id);
  });
}

void AbandonMessageBoxes() { StopMessageBoxes(); }
