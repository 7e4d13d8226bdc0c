#include "engine/events.h"

#include "base/message.h"

int EventSink::ShowMessage(unsigned id, int kind) { return ::ShowMessage(id, kind); }

int EventSink::ShowMessageText(unsigned id, int kind, const std::string& localText) {
  return ::ShowMessageText(id, kind, localText);
}
