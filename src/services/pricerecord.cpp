#include "services/pricerecord.h"

#include <memory>

#include "engine/task.h"
#include "services/history.h"
#include "services/historyfile.h"

HistoryWrite RecordTrackedPrice(CTask& task, const std::string& historyPath) {
  std::shared_ptr<CPriceInfo> history = task.GetPriceHistory();
  if (!history) {
    history = std::make_shared<CPriceInfo>();
    history->LoadCache(historyPath);
    task.SetPriceHistory(history);
  }
  if (!history->AddCurrentPrice(task.GetCurrentPrice())) return {};
  return [history, historyPath](FileLock::Wait wait) {
    return SaveHistoryFile(*history, historyPath, wait);
  };
}
