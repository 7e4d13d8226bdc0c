#pragma once

#include <string>

class CTask;

// What a tracking pass does with a new price: a point dated now at the
// task's CurrentPrice goes into its price history (made from the file at
// `historyPath` when the task has none attached, so that no point is lost),
// the lowest and highest prices follow it, and the history is written to
// `historyPath`. False when the history refused the point (nothing is
// written) or the file could not be written.
bool RecordTrackedPrice(CTask& task, const std::string& historyPath);
