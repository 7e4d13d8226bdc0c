#include "base/message.h"

#include <cstdio>
#include <mutex>

#include "base/codepage.h"
#include "base/stringtable.h"

namespace {

std::mutex g_handlerLock;
MessageHandler g_handler;

int DefaultHandler(unsigned, int kind, const std::string& localText) {
  std::fprintf(stderr, "%s\n", LocalToUtf8(localText).c_str());
  return kind == kMessageInfo ? IDOK : IDNO;
}

}  // namespace

int ShowMessage(unsigned id, int kind) { return ShowMessageText(id, kind, LoadString(id)); }

int ShowMessageText(unsigned id, int kind, const std::string& localText) {
  if (kind != kMessageInfo && kind != kMessageQuestion) return 0;
  MessageHandler handler;
  {
    std::lock_guard lock(g_handlerLock);
    handler = g_handler;
  }
  return handler ? handler(id, kind, localText) : DefaultHandler(id, kind, localText);
}

void SetMessageHandler(MessageHandler handler) {
  std::lock_guard lock(g_handlerLock);
  g_handler = std::move(handler);
}
