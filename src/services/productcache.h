#pragma once

#include <memory>
#include <string>

#include "engine/tasklist.h"

class CETaoInfo;
class CPriceInfo;
class CSiteList;

// A task's two cache files, named by its ProductFileKey: the comparison in
// the items folder, the price history in the prices folder.
std::string ComparisonFilePath(const CTask& task, const std::string& itemsFolder);
std::string HistoryFilePath(const CTask& task, const std::string& pricesFolder);

// A comparison file is read again while the hours part of its age (whole
// hours since it was written, modulo 24) is below 20: 2 days and 3 hours old
// is read, 21 hours old is fetched again. Ages come from CurrentTime().
bool ComparisonFileIsFresh(const std::string& path);

// Fetches a task's comparison (or history) from the server, writes its cache
// file and returns it; a failed fetch still writes the (empty) result. A
// history file already there (another link of the same product) keeps its
// points: they join the server's (SaveHistoryFile).
std::shared_ptr<CETaoInfo> FetchComparisonFile(const CTask& task, const std::string& path,
                                               const CSiteList* sites);
std::shared_ptr<CPriceInfo> FetchHistoryFile(const CTask& task, const std::string& path);

// What loading the task list does for each task: the comparison from its file
// while that is fresh, the history from its file whenever there is one, the
// rest from the servers. A cache file that exists but can't be read is kept
// aside (name + ".bad") and fetched again.
void AttachProductCaches(CTask& task, const std::string& itemsFolder,
                         const std::string& pricesFolder, const CSiteList* sites);
// The same as the function CTaskList::LoadTasks takes.
AttachCachesFunction ProductCacheAttacher(const CSiteList* sites);
