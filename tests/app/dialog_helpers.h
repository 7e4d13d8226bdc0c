#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "base/message.h"
#include "support/qt_application.h"

// Records every ShowMessage while it lives, answering `answer`; the default
// handler comes back afterwards.
class MessageRecorder {
 public:
  explicit MessageRecorder(int answer = IDOK) {
    SetMessageHandler([this, answer](unsigned id, int, const std::string&) {
      std::lock_guard lock(m_lock);
      m_ids.push_back(id);
      return answer;
    });
  }
  ~MessageRecorder() { SetMessageHandler(nullptr); }

  std::vector<unsigned> Ids() const {
    std::lock_guard lock(m_lock);
    return m_ids;
  }

 private:
  mutable std::mutex m_lock;
  std::vector<unsigned> m_ids;
};

template <typename T>
T* Child(const QObject* parent, const char* name) {
  return parent->findChild<T*>(QString::fromLatin1(name));
}

inline void Click(const QObject* parent, const char* name) {
  auto* button = Child<QAbstractButton>(parent, name);
  if (button) button->click();
}

// The visible top-level window of that object name, or null.
inline QWidget* VisibleWindow(const char* objectName) {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->isVisible() && widget->objectName() == QLatin1String(objectName)) return widget;
  return nullptr;
}

// From the GUI thread's event loop: once a window of that name shows, hands
// it to `act` (which usually presses one of its buttons), once.
inline void WhenShown(const char* objectName, std::function<void(QWidget*)> act) {
  auto* timer = new QTimer(&TestApplication());
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, objectName, act] {
    if (QWidget* window = VisibleWindow(objectName)) {
      timer->stop();
      timer->deleteLater();
      act(window);
    }
  });
  timer->start();
}
