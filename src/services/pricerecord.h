#pragma once

#include <string>

#include "engine/tracking.h"

class CTask;

// What a tracking pass does with a new price: a point dated now at the
// task's CurrentPrice goes into its price history (made from the file at
// `historyPath` when the task has none attached, so that no point is lost),
// and the lowest and highest prices follow it. Returns the write of the
// history to `historyPath` (SaveHistoryFile), which the tracker runs; empty
// when the history refused the point.
HistoryWrite RecordTrackedPrice(CTask& task, const std::string& historyPath);
