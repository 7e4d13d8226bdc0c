#include "engine/cookies.h"

#include <ctime>
#include <sstream>

#include "base/filelock.h"
#include "base/files.h"
#include "base/programdir.h"
#include "engine/curlhandle.h"

namespace {

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

bool Printable(const std::string& text) {
  for (char c : text)
    if (c == '\t' || c == '\r' || c == '\n' || c == '\0') return false;
  return true;
}

std::string ToLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string NetscapeLine(const CookieRecord& c) {
  std::string domain = c.includeSubdomains ? "." + c.domain : c.domain;
  return domain + "\t" + (c.includeSubdomains ? "TRUE" : "FALSE") + "\t" + c.path + "\t" +
         (c.secure ? "TRUE" : "FALSE") + "\t" + std::to_string(c.expires) + "\t" + c.name + "\t" +
         c.value;
}

bool ParseLine(std::string line, CookieRecord& cookie) {
  static const std::string kHttpOnly = "#HttpOnly_";
  if (line.compare(0, kHttpOnly.size(), kHttpOnly) == 0) line.erase(0, kHttpOnly.size());
  if (line.empty() || line[0] == '#') return false;
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  if (fields.size() == 6) fields.emplace_back();  // an empty value
  if (fields.size() != 7) return false;
  cookie.domain = fields[0][0] == '.' ? fields[0].substr(1) : fields[0];
  cookie.includeSubdomains = fields[1] == "TRUE";
  cookie.path = fields[2];
  cookie.secure = fields[3] == "TRUE";
  cookie.expires = std::atoll(fields[4].c_str());
  cookie.name = fields[5];
  cookie.value = fields[6];
  return true;
}

// What tells one cookie from another in a store: its domain (any case),
// whether subdomains share it, its path and its name.
std::string CookieKey(const CookieRecord& c) {
  return ToLower(c.domain) + (c.includeSubdomains ? "\t1\t" : "\t0\t") + c.path + "\t" + c.name;
}

bool DomainMatches(const CookieRecord& cookie, const std::string& host) {
  std::string domain = ToLower(cookie.domain);
  if (host == domain) return true;
  return cookie.includeSubdomains && host.size() > domain.size() &&
         host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
         host[host.size() - domain.size() - 1] == '.';
}

bool PathMatches(const std::string& cookiePath, const std::string& path) {
  if (cookiePath.empty() || path.compare(0, cookiePath.size(), cookiePath) != 0) return false;
  return path.size() == cookiePath.size() || cookiePath.back() == '/' ||
         path[cookiePath.size()] == '/';
}

}  // namespace

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CCookieStore::CCookieStore(std::string path) : m_path(std::move(path)) {
  InitCurlOnce();
  m_share = curl_share_init();
  curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &CCookieStore::Lock);
  curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &CCookieStore::Unlock);
  curl_share_setopt(m_share, CURLSHOPT_USERDATA, this);
  curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  const std::vector<CookieRecord> cookies = ReadFileCookies(m_path, &m_stamp);
  for (const CookieRecord& cookie : cookies) AddLine(NetscapeLine(cookie));
  m_base = LinesOf(cookies);
}

CCookieStore::Lines CCookieStore::LinesOf(const std::vector<CookieRecord>& cookies) {
  Lines lines;
  for (const CookieRecord& cookie : cookies) lines[CookieKey(cookie)] = NetscapeLine(cookie);
  return lines;
}

std::vector<CookieRecord> CCookieStore::ReadFileCookies(const std::string& path, FileStamp* stamp) {
  std::string bytes;
  *stamp = StampOf(path);
  if (!ReadWholeFile(path, bytes, stamp)) return {};
  std::vector<CookieRecord> cookies;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    CookieRecord cookie;
    if (ParseLine(line, cookie)) cookies.push_back(cookie);
  }
  return cookies;
}

void CCookieStore::TakeInChangesLocked(const Lines& theirs) const {
  const Lines mine = LinesOf(List());
  auto lineOf = [](const Lines& lines, const std::string& key) {
    auto it = lines.find(key);
    return it == lines.end() ? std::string() : it->second;
  };
  Lines changed;  // what they changed, for both keys they hold and keys they dropped
  for (const Lines* side : {&theirs, static_cast<const Lines*>(&m_base)})
    for (const auto& [key, line] : *side) changed.emplace(key, lineOf(theirs, key));
  for (const auto& [key, their] : changed) {
    const std::string base = lineOf(m_base, key);
    if (their == base || lineOf(mine, key) != base) continue;
    if (!their.empty()) {
      AddLine(their);
      continue;
    }
    // Removed there: the same cookie, long expired, replaces it here.
    CookieRecord gone;
    if (ParseLine(base, gone)) {
      gone.expires = 1;
      AddLine(NetscapeLine(gone));
    }
  }
}

CCookieStore::~CCookieStore() { curl_share_cleanup(m_share); }

std::shared_ptr<CCookieStore> CCookieStore::ForProgram() {
  static std::mutex lock;
  static std::shared_ptr<CCookieStore> store;
  std::string path = ProgramFile("cookies.txt");
  std::lock_guard<std::mutex> guard(lock);
  if (!store || store->Path() != path) store = std::make_shared<CCookieStore>(path);
  return store;
}

void CCookieStore::Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
  static_cast<CCookieStore*>(self)->m_locks[data].lock();
}

void CCookieStore::Unlock(CURL*, curl_lock_data data, void* self) {
  static_cast<CCookieStore*>(self)->m_locks[data].unlock();
}

void CCookieStore::Attach(CURL* curl) const { curl_easy_setopt(curl, CURLOPT_SHARE, m_share); }

bool CCookieStore::AddLine(const std::string& line) const {
  CurlEasy curl(curl_easy_init());
  if (!curl) return false;
  Attach(curl.get());
  return curl_easy_setopt(curl.get(), CURLOPT_COOKIELIST, line.c_str()) == CURLE_OK;
}

bool CCookieStore::Add(const CookieRecord& cookie) {
  if (cookie.domain.empty() || cookie.name.empty() || cookie.path.empty()) return false;
  for (const std::string* field : {&cookie.domain, &cookie.path, &cookie.name, &cookie.value})
    if (!Printable(*field)) return false;
  if (cookie.name.find_first_of("=; ") != std::string::npos) return false;
  if (cookie.value.find(';') != std::string::npos) return false;
  return AddLine(NetscapeLine(cookie));
}

std::vector<CookieRecord> CCookieStore::List() const {
  std::vector<CookieRecord> cookies;
  CurlEasy curl(curl_easy_init());
  if (!curl) return cookies;
  Attach(curl.get());
  curl_slist* lines = nullptr;
  if (curl_easy_getinfo(curl.get(), CURLINFO_COOKIELIST, &lines) != CURLE_OK) return cookies;
  long long now = static_cast<long long>(std::time(nullptr));
  for (curl_slist* line = lines; line; line = line->next) {
    CookieRecord cookie;
    if (ParseLine(line->data, cookie) && (cookie.expires == 0 || cookie.expires > now))
      cookies.push_back(cookie);
  }
  curl_slist_free_all(lines);
  return cookies;
}

std::vector<CookieRecord> CCookieStore::Matching(const std::string& url) const {
  std::vector<CookieRecord> matching;
  std::unique_ptr<CURLU, UrlDeleter> parts(curl_url());
  if (!parts || curl_url_set(parts.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
    return matching;
  char* scheme = nullptr;
  char* host = nullptr;
  char* path = nullptr;
  curl_url_get(parts.get(), CURLUPART_SCHEME, &scheme, 0);
  curl_url_get(parts.get(), CURLUPART_HOST, &host, 0);
  curl_url_get(parts.get(), CURLUPART_PATH, &path, 0);
  bool secure = scheme && ToLower(scheme) == "https";
  std::string hostText = host ? ToLower(host) : std::string();
  std::string pathText = path && *path ? path : "/";
  curl_free(scheme);
  curl_free(host);
  curl_free(path);
  for (const CookieRecord& cookie : List()) {
    if (DomainMatches(cookie, hostText) && PathMatches(cookie.path, pathText) &&
        (!cookie.secure || secure))
      matching.push_back(cookie);
  }
  return matching;
}

bool CCookieStore::Save() const {
  std::lock_guard<std::mutex> guard(m_saveLock);
  FileLock lock(m_path + ".lock");
  if (lock.Busy()) return false;
  if (StampOf(m_path) != m_stamp) {
    FileStamp read;
    const Lines theirs = LinesOf(ReadFileCookies(m_path, &read));
    TakeInChangesLocked(theirs);
    m_base = theirs;
    m_stamp = read;
  }
  const std::vector<CookieRecord> cookies = List();
  Lines mine = LinesOf(cookies);
  if (mine == m_base && m_stamp.exists) return true;
  std::string text = "# Netscape HTTP Cookie File\n";
  for (const CookieRecord& cookie : cookies) text += NetscapeLine(cookie) + "\n";
  if (!WritePrivateFileAtomic(m_path, text)) return false;
  m_base = std::move(mine);
  m_stamp = StampOf(m_path);
  return true;
}
