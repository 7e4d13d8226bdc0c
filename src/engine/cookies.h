#pragma once

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "base/files.h"

// One cookie as the store keeps it.
struct CookieRecord {
  std::string domain;  // without a leading dot
  bool includeSubdomains = false;
  std::string path;
  bool secure = false;
  long long expires = 0;  // seconds since 1970; 0 for a session cookie
  std::string name;
  std::string value;
};

// The cookie store that every request of the program shares, across threads,
// kept in a file in the Netscape cookie-file format so that cookies live
// across runs. Transfers attach to it; it is saved after a change.
class CCookieStore {
 public:
  // Loads `path` when it exists.
  explicit CCookieStore(std::string path);
  ~CCookieStore();
  CCookieStore(const CCookieStore&) = delete;
  CCookieStore& operator=(const CCookieStore&) = delete;

  // The store of the current program directory's cookies.txt. A different
  // program directory (tests set one per test) gets its own store.
  static std::shared_ptr<CCookieStore> ForProgram();

  const std::string& Path() const { return m_path; }

  // Lets a transfer send the store's cookies and record the ones it receives.
  void Attach(CURL* curl) const;

  // Adds or replaces a cookie; false when a field cannot be stored.
  bool Add(const CookieRecord& cookie);

  // Every cookie that has not expired.
  std::vector<CookieRecord> List() const;

  // The cookies a request to `url` would carry, in the store's order.
  std::vector<CookieRecord> Matching(const std::string& url) const;

  // Writes the whole store to its file (atomically). Other processes keep
  // stores of the same file, so the write takes its lock (path + ".lock")
  // and first takes in what they saved since this store last read or wrote
  // the file: cookies they added or changed are taken unless this store
  // changed them too, cookies they removed go unless changed here. False
  // when the file can't be written or another process held the lock too
  // long; the store keeps its cookies for the next save.
  bool Save() const;

 private:
  // Cookies by what names one (domain, subdomains, path, name), each as its
  // file line.
  using Lines = std::map<std::string, std::string>;
  static Lines LinesOf(const std::vector<CookieRecord>& cookies);
  static std::vector<CookieRecord> ReadFileCookies(const std::string& path, FileStamp* stamp);
  // Applies what another process changed in the file since m_base.
  void TakeInChangesLocked(const Lines& theirs) const;
  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
  static void Unlock(CURL*, curl_lock_data data, void* self);
  bool AddLine(const std::string& line) const;

  std::string m_path;
  CURLSH* m_share = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> m_locks;
  mutable std::mutex m_saveLock;
  // Under m_saveLock: the file as this store last read or wrote it.
  mutable Lines m_base;
  mutable FileStamp m_stamp;
};

// Makes sure libcurl's global state is set up (once, before any transfer).
void InitCurlOnce();
