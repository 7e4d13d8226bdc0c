#pragma once

#include <map>
#include <mutex>
#include <string>

#include "base/ini.h"
#include "base/programdir.h"
#include "support/http_server.h"

// The update server's folder on 127.0.0.1: files served by path below
// "/update/", a 404 for anything else. PointProgramAt writes UpdateInfoUrl
// and SiteRulesUrl into section "Hosts" of the program directory's config.ini.
class UpdateFolder {
 public:
  UpdateFolder() {
    m_server.Get("/update/(.*)", [this](const httplib::Request& request, httplib::Response& reply) {
      std::lock_guard lock(m_lock);
      auto file = m_files.find(request.matches[1]);
      if (file == m_files.end()) {
        reply.status = 404;
        reply.set_content("not here", "text/plain");
        return;
      }
      reply.set_content(file->second, "application/octet-stream");
      m_queries[request.matches[1]] = request.get_param_value("t");
    });
  }

  void Serve(const std::string& name, const std::string& bytes) {
    std::lock_guard lock(m_lock);
    m_files[name] = bytes;
  }
  // The "t" query value of the last answered request for the file.
  std::string LastStamp(const std::string& name) const {
    std::lock_guard lock(m_lock);
    auto at = m_queries.find(name);
    return at == m_queries.end() ? std::string() : at->second;
  }
  int Requests(const std::string& name) const { return m_server.Requests("/update/" + name); }
  std::string Url(const std::string& name) const { return m_server.Url("/update/" + name); }

  void PointProgramAt() const {
    const std::string config = ProgramFile("config.ini");
    IniWriteString(config, "Hosts", "UpdateInfoUrl", Url("update.ini"));
    IniWriteString(config, "Hosts", "SiteRulesUrl", Url("sites.xml"));
  }

 private:
  TestHttpServer m_server;
  mutable std::mutex m_lock;
  std::map<std::string, std::string> m_files;
  std::map<std::string, std::string> m_queries;
};

// An address where nothing listens: a port the system handed out and took back.
inline std::string UnreachableUrl(const std::string& path) {
  std::string url;
  {
    TestHttpServer gone;
    url = gone.Url(path);
  }
  return url;
}
