#include "engine/events.h"

#include "base/message.h"

int EventSink::ShowMessage(unsigned id, int kind) { return ::ShowMessage(id, kind); }
