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

bool IsSuccessMessage(unsigned id) {
  static const unsigned kSuccesses[] = {
      IDS_AUTOSTART_ON_OK,    IDS_AUTOSTART_OFF_OK,  IDS_INTERVAL_SET_OK,
      IDS_AUTOUPDATE_ON_OK,   IDS_AUTOUPDATE_OFF_OK, IDS_SITE_RULES_UPDATED,
      IDS_SHARE_ICON_SIZE_OK, IDS_LIST_TEXT_OK,      IDS_POP_CLOSE_OK,
      IDS_POP_SHOW_OK,        IDS_LOGIN_OK,          IDS_IMPORT_DONE,
      IDS_REGISTER_OK,        IDS_UPLOAD_DONE,       IDS_FAIL_ALERT_SET_OK,
      IDS_TASK_FILE_IMPORTED};
  for (unsigned success : kSuccesses)
    if (id == success) return true;
  return false;
}

void SetMessageHandler(MessageHandler handler) {
  std::lock_guard lock(g_handlerLock);
  g_handler = std::move(handler);
}
