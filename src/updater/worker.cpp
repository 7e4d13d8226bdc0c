#include "updater/worker.h"

#include <cctype>
#include <cstdio>
#include <string_view>

#include "base/clock.h"
#include "base/files.h"
#include "base/hosts.h"
#include "base/ini.h"
#include "base/message.h"
#include "base/proclist.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "engine/site.h"
#include "engine/sitelearned.h"
#include "engine/spider.h"
#include "updater/download.h"
#include "updater/replacement.h"

namespace {

constexpr const char* kInfoFile = "update.ini";
constexpr const char* kRulesFile = "sites.xml";
constexpr const char* kServerRulesFile = "sites_rt.xml";

// The request headers of FetchToFile, as the updater always sent them.
constexpr const char* kFetchHeaders =
    "Accept-Encoding: gzip,deflate\r\nAccept-Language: zh-cn\r\nConnection: Keep-Alive\r\nAccept: "
    "*/*";

// How long a program-file download may take to connect before it fails.
constexpr long kFileConnectMilliseconds = 5000;

// Profile reads hand out at most the buffer's size less its terminating zero.
constexpr size_t kVersionBuffer = 128;
constexpr size_t kPathBuffer = 260;

// "?t=" and the time: no cache between us and the server answers.
std::string CacheBreaker() { return "?t=" + std::to_string(static_cast<long>(CurrentTime())); }

// A relative path put into a link: bytes that would end or change the path
// are percent-encoded.
std::string EscapePath(const std::string& path) {
  static const std::string_view kKept = "-._~/!$&'()*+,;=:@";
  std::string escaped;
  for (unsigned char c : path) {
    if (std::isalnum(c) || kKept.find(static_cast<char>(c)) != std::string_view::npos) {
      escaped += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      escaped += hex;
    }
  }
  return escaped;
}

}  // namespace

bool IsSafeUpdatePath(const std::string& path) {
  if (path.empty() || path[0] == '/' || path[0] == '\\') return false;
  if (path.find('\0') != std::string::npos) return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("/\\", start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

bool IsPackagedProgram(const std::string& path) {
  std::string name = path.substr(path.find_last_of("/\\") + 1);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0)
    name.resize(name.size() - 4);
  for (const char* program : {"Vantrel", "update", "vantrelctl", "vantrel-server"})
    if (name == program) return true;
  return false;
}

CUpdateWorker::CUpdateWorker(UpdaterArguments arguments, UpdateSink& sink)
    : m_arguments(std::move(arguments)), m_sink(sink), m_installed(IsInstalledLayout()) {}

CUpdateWorker::~CUpdateWorker() {
  Cancel();
  Join();
}

void CUpdateWorker::Start() {
  if (m_thread.joinable()) return;
  m_thread = std::thread([this] { Run(); });
}

void CUpdateWorker::Cancel() { m_cancel = true; }

void CUpdateWorker::Join() {
  if (m_thread.joinable()) m_thread.join();
}

void CUpdateWorker::Run() {
  const std::string infoFile = ProgramFile(kInfoFile);
  StatusId(IDS_UPD_FETCHING_INFO);
  // A copy left by an earlier run must not pass for this fetch.
  DeleteFile(infoFile);
  FetchToFile(m_arguments.infoUrl, infoFile);
  m_failure.clear();
  if (!FileExists(infoFile)) {
    Failure(LoadString(IDS_UPD_INFO_FAILED));
  } else {
    StatusId(IDS_UPD_CHECKING_RULES);
    std::string rulesVersion = InfoValue("SITE_CONFIG_VERSION", "1.0", kVersionBuffer);
    if (DecimalValue(m_arguments.siteVersion) < DecimalValue(rulesVersion)) {
      StatusId(IDS_UPD_UPDATING);
      if (UpdateSiteRules()) StatusId(IDS_UPD_DONE);
    }
    StatusId(IDS_UPD_CHECKING_PROGRAM);
    std::string programVersion = InfoValue("VERSION", "1.0", kVersionBuffer);
    if (DecimalValue(m_arguments.version) < DecimalValue(programVersion)) {
      StatusId(IDS_UPD_UPDATING);
      if (UpdateProgramFiles()) StatusId(IDS_UPD_DONE);
    } else {
      StatusId(IDS_UPD_NO_NEW_VERSION);
    }
  }
  m_sink.WorkFinished();
  DeleteFile(infoFile);
  // A failure is the last word of the status line rather than "finished".
  if (m_failure.empty())
    StatusId(IDS_UPD_DONE);
  else if (m_lastStatus != m_failure)
    Status(m_failure);
  m_finished = true;
}

bool CUpdateWorker::FetchToFile(const std::string& url, const std::string& file,
                                const std::string& referrer) {
  if (url.empty()) return false;
  HttpGetRequest request;
  request.url = url;
  request.headers = kFetchHeaders;
  if (!referrer.empty()) request.headers += "\r\nReferer: " + referrer;
  SpiderTimeouts timeouts = GetSpiderTimeouts();
  request.connectMilliseconds = timeouts.connectMilliseconds;
  request.lowSpeedSeconds = timeouts.lowSpeedSeconds;
  request.exchangeSeconds = timeouts.exchangeSeconds;
  request.cancel = &m_cancel;
  request.decodeGzip = true;
  std::string body;
  request.onBody = [&body](const char* data, size_t size, int64_t) {
    if (body.size() + size > kMaxBodyBytes) return false;
    body.append(data, size);
    return true;
  };
  HttpGetResult reply = HttpGet(request);
  if (!reply.completed) return false;
  if (reply.status != 200) return true;
  return WriteFileAtomic(file, body);
}

bool CUpdateWorker::UpdateSiteRules() {
  const std::string rulesFile = ProgramFile(kRulesFile);
  const std::string serverRules = ProgramFile(kServerRulesFile);
  // A copy left by an interrupted run must not pass for the server's.
  DeleteFile(serverRules);
  FetchToFile(UpdateFolderFile(m_arguments.infoUrl, kRulesFile) + CacheBreaker(), serverRules);
  m_sink.ReportProgress(25);
  CSiteList sites;
  sites.LoadSites(rulesFile);
  m_sink.ReportProgress(50);
  // Without the server's rules there is nothing to merge; rewriting the local
  // file from itself could only lose it (a missing one would come back empty).
  bool merged = FileExists(serverRules) && sites.MergeFetchedSites(serverRules);
  if (merged) KeepLearnedSites(sites, rulesFile);
  m_sink.ReportProgress(75);
  bool saved = merged && sites.SaveSites(rulesFile);
  m_sink.ReportProgress(100);
  DeleteFile(serverRules);
  if (!saved) Failure(kRulesFile + LoadString(IDS_UPD_DOWNLOAD_FAILED));
  return saved;
}

bool CUpdateWorker::UpdateProgramFiles() {
  m_sink.SetBusy(true);
  // Only the main program of this folder: a same-named program of another
  // installation is none of this updater's business.
  pid_t running =
      m_installed ? -1 : FindRunningProgram(m_arguments.programName, ProgramDirectory());
  if (running > 0 && Message(IDS_UPD_PROGRAM_RUNNING, kMessageQuestion,
                             m_arguments.programName + LoadString(IDS_UPD_PROGRAM_RUNNING)))
    EndProgram(running);
  bool ok = true;
  for (int n = 1; ok; ++n) {
    std::string path = InfoValue("FILE" + std::to_string(n), "", kPathBuffer);
    if (path.empty()) break;
    if (m_installed && IsPackagedProgram(path)) continue;
    ok = DownloadAndReplace(path);
  }
  if (m_installed)
    Message(IDS_UPD_NEW_PACKAGE, kMessageInfo,
            LoadString(IDS_UPD_NEW_PACKAGE) + HostValue(kHostHomePage));
  DeleteFile(ProgramFile(kInfoFile));
  m_sink.SetBusy(false);
  return ok;
}

bool CUpdateWorker::DownloadAndReplace(const std::string& path) {
  Status(LoadString(IDS_UPD_DOWNLOADING) + path);
  // update.ini comes from the network: a path must not reach outside the
  // program directory.
  bool ok = IsSafeUpdatePath(path) && ReplaceFromServer(path, ProgramFile(path));
  if (ok)
    Status(path + LoadString(IDS_UPD_DOWNLOAD_DONE));
  else
    Failure(path + LoadString(IDS_UPD_DOWNLOAD_FAILED));
  return ok;
}

bool CUpdateWorker::ReplaceFromServer(const std::string& path, const std::string& local) {
  // A new version may bring files in folders the old one did not have.
  MakeDirectories(local.substr(0, local.rfind('/') + 1));
  CReplacementFile file(local);
  if (!file.Open()) {
    Message(IDS_UPD_WRITE_FILE, kMessageInfo,
            LoadString(IDS_UPD_WRITE_FILE) + local + LoadString(IDS_UPD_FILE_IN_USE));
    return false;
  }
  HttpGetRequest request;
  request.url = FileUrl(path);
  request.followRedirects = false;
  request.connectMilliseconds = kFileConnectMilliseconds;
  request.lowSpeedSeconds = GetSpiderTimeouts().lowSpeedSeconds;
  request.exchangeSeconds = GetSpiderTimeouts().exchangeSeconds;
  request.cancel = &m_cancel;
  request.decodeGzip = true;
  int64_t received = 0;
  int shown = -1;
  request.onBody = [&](const char* data, size_t size, int64_t length) {
    received += static_cast<int64_t>(size);
    if (length > 0) {
      int percent = static_cast<int>(std::min<int64_t>(received * 100 / length, 100));
      if (percent != shown) m_sink.ReportProgress(shown = percent);
    }
    return file.Write(data, size);
  };
  HttpGetResult reply = HttpGet(request);
  if (!reply.completed) {
    file.Discard();
    Message(0, kMessageInfo, reply.error.substr(0, 1024));
    return false;
  }
  if (reply.status != 200 || !file.Commit()) return false;
  m_sink.ReportProgress(100);
  return true;
}

void CUpdateWorker::Status(const std::string& localText) {
  m_lastStatus = localText;
  m_sink.ReportStatus(localText);
}

void CUpdateWorker::StatusId(unsigned id) { Status(LoadString(id)); }

void CUpdateWorker::Failure(const std::string& localText) {
  if (m_failure.empty()) m_failure = localText;
  Status(localText);
}

std::string CUpdateWorker::InfoValue(const std::string& key, const std::string& defaultValue,
                                     size_t bufferBytes) const {
  std::string value =
      IniGetString(ProgramFile(kInfoFile), m_arguments.programName, key, defaultValue);
  if (value.size() >= bufferBytes) value.resize(bufferBytes - 1);
  return value;
}

std::string CUpdateWorker::FileUrl(const std::string& relative) const {
  return UpdateFolderFile(m_arguments.infoUrl, EscapePath(relative)) + CacheBreaker();
}

bool CUpdateWorker::Message(unsigned id, int kind, const std::string& localText) {
  if (m_cancel) return false;
  int answer = ShowMessageText(id, kind, localText);
  return answer == IDOK || answer == IDYES;
}
