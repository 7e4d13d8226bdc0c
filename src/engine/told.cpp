#include "engine/told.h"

#include "base/timetext.h"
#include "engine/task.h"

ToldMessage MakeToldMessage(const CTask& task, const std::string& text, const std::string& kind) {
  const CTaskValues values = task.GetValues();
  ToldMessage message;
  message.kind = kind;
  message.productName = values.productName;
  message.link = values.url;
  message.oldPrice = task.GetPreviousPrice();
  message.newPrice = values.currentPrice;
  message.currency = values.currency;
  message.stock = values.currentStock;
  message.text = text;
  // A failure alert is no drop, whatever the task's last pass said.
  if (kind == "change") message.verdict = task.GetDealNote().text;
  message.time = FormatNowText();
  return message;
}
