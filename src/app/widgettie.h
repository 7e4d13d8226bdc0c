#pragma once

#include <mutex>
#include <utility>

#include <QMetaObject>

// The tie from a worker thread back to the widget that started it. The
// widget cuts it when it goes, so a result that arrives late is dropped
// instead of reaching a widget that no longer exists.
template <typename Widget>
class CWidgetTie {
 public:
  explicit CWidgetTie(Widget* widget) : m_widget(widget) {}

  void Cut() {
    std::lock_guard lock(m_lock);
    m_widget = nullptr;
  }

  // Calls `deliver(widget)` on the widget's thread, unless it is gone.
  template <typename Deliver>
  void Post(Deliver deliver) {
    std::lock_guard lock(m_lock);
    if (!m_widget) return;
    Widget* widget = m_widget;
    QMetaObject::invokeMethod(
        widget, [widget, deliver = std::move(deliver)] { deliver(widget); }, Qt::QueuedConnection);
  }

 private:
  std::mutex m_lock;
  Widget* m_widget;
};
