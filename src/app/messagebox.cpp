#include "app/messagebox.h"

#include <condition_variable>
#include <memory>
#include <mutex>

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

// Picture on the left, the text beside it, the buttons centred below: the
// layout both boxes share. Returns the row the buttons go into.
QHBoxLayout* BuildBox(QDialog* box, const QString& caption, const QString& picture,
                      const QString& text) {
  box->setWindowTitle(caption);
  box->setWindowModality(Qt::ApplicationModal);
  box->setWindowFlags(box->windowFlags() & ~Qt::WindowContextHelpButtonHint);
  box->setStyleSheet(QStringLiteral("QDialog { background: #ffffff; }"));

  auto* image = new QLabel(box);
  image->setObjectName(QStringLiteral("messagePicture"));
  QPixmap pixmap = SkinPixmap(picture);
  if (!pixmap.isNull()) image->setPixmap(pixmap);
  image->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* label = new QLabel(text, box);
  label->setObjectName(QStringLiteral("messageText"));
  label->setFont(UiFont(14));
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setMinimumWidth(qMin(label->fontMetrics().horizontalAdvance(text) + 8, 420));
  label->setStyleSheet(QStringLiteral("color: #303030;"));

  auto* message = new QHBoxLayout;
  message->setSpacing(20);
  message->addWidget(image, 0, Qt::AlignTop);
  message->addWidget(label, 1, Qt::AlignVCenter);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(10);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(24, 24, 24, 12);
  layout->setSpacing(20);
  layout->addLayout(message, 1);
  layout->addLayout(buttons);
  return buttons;
}

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

int ShowFromWorker(int kind, const QString& text) {
  auto pending = std::make_shared<PendingAnswer>();
  std::unique_lock lock(g_lock);
  QCoreApplication* app = QCoreApplication::instance();
  if (g_quitting || !app) return UnansweredResult(kind);
  // Posted while holding the lock: the post routine that marks the
  // application gone takes it too, so the application is alive here.
  bool posted = QMetaObject::invokeMethod(
      app,
      [pending, kind, text] {
        bool wanted;
        {
          std::lock_guard check(g_lock);
          wanted = !pending->abandoned && !g_quitting;
        }
        int answer = wanted ? RunMessageBox(kind, text) : UnansweredResult(kind);
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

int ShowFromAnyThread(int kind, const QString& text) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app && QThread::currentThread() == app->thread())
    return IsQuitting() ? UnansweredResult(kind) : RunMessageBox(kind, text);
  return ShowFromWorker(kind, text);
}

void StopMessageBoxes() {
  {
    std::lock_guard lock(g_lock);
    g_quitting = true;
  }
  g_answered.notify_all();
}

}  // namespace

CMsgDlg::CMsgDlg(const QString& text, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CMsgDlg"));
  QHBoxLayout* buttons =
      BuildBox(this, LoadQString(IDS_MESSAGE_CAPTION), QStringLiteral("imgs/Alert.png"), text);
  CButtonST* ok = MakeBoxButton(QStringLiteral("确定"), "okButton", this);
  ok->setDefault(true);
  buttons->addWidget(ok);
  buttons->addStretch(1);
  connect(ok, &QPushButton::clicked, this, [this] { done(IDOK); });
}

void CMsgDlg::reject() { done(IDOK); }

CWhetherMsgDlg::CWhetherMsgDlg(const QString& text, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CWhetherMsgDlg"));
  QHBoxLayout* buttons =
      BuildBox(this, LoadQString(IDS_QUESTION_CAPTION), QStringLiteral("imgs/Ques.png"), text);
  struct Choice {
    const char* text;
    const char* name;
    int result;
  };
  for (const Choice& choice : {Choice{"是", "yesButton", IDYES}, Choice{"否", "noButton", IDNO},
                               Choice{"取消", "cancelButton", IDCANCEL}}) {
    CButtonST* button = MakeBoxButton(QString::fromUtf8(choice.text), choice.name, this);
    buttons->addWidget(button);
    int result = choice.result;
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
  }
  buttons->addStretch(1);
}

void CWhetherMsgDlg::reject() { done(IDCANCEL); }

int RunMessageBox(int kind, const QString& text) {
  QWidget* parent = QApplication::activeWindow();
  if (kind == kMessageInfo) {
    CMsgDlg box(text, parent);
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
  SetMessageHandler([](unsigned, int kind, const std::string& localText) {
    return ShowFromAnyThread(kind, FromLocal(localText));
  });
}

void AbandonMessageBoxes() { StopMessageBoxes(); }
