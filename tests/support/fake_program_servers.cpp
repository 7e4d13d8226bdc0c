#include "support/fake_program_servers.h"

#include "base/ini.h"
#include "base/programdir.h"
#include "support/http_server.h"

std::string ProgramRequest::Query(const std::string& name) const {
  auto it = query.find(name);
  return it == query.end() ? std::string() : it->second;
}

FakeProgramServers::FakeProgramServers() : m_server(std::make_unique<TestHttpServer>()) {
  struct Route {
    const char* path;
    ProgramEndpoint endpoint;
  } const routes[] = {{kHistoryPath, ProgramEndpoint::kHistory},
                      {kComparisonPath, ProgramEndpoint::kComparison},
                      {kCommissionPath, ProgramEndpoint::kCommission}};
  for (const Route& route : routes) {
    ProgramEndpoint endpoint = route.endpoint;
    m_server->Get(route.path, [this, endpoint](const httplib::Request& in, httplib::Response& out) {
      ProgramRequest request{endpoint, in.target, {}};
      for (const auto& [name, value] : in.params) request.query.emplace(name, value);
      out.set_content(Answer(std::move(request)), "text/plain; charset=utf-8");
    });
  }
}

FakeProgramServers::~FakeProgramServers() = default;

std::string FakeProgramServers::Link(const std::string& target) const {
  return m_server->Url(target);
}

void FakeProgramServers::History(const std::string& productLink, const std::string& utf8Reply) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_history[productLink] = utf8Reply;
}

void FakeProgramServers::Comparison(const std::string& productLink, const std::string& utf8Reply) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_comparison[productLink] = utf8Reply;
}

void FakeProgramServers::Commission(const std::string& key, const std::string& utf8Reply) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_commission[key] = utf8Reply;
}

void FakeProgramServers::PointProgramAt(const std::string& configFile) const {
  const std::string config = configFile.empty() ? ProgramFile("config.ini") : configFile;
  IniWriteString(config, "Hosts", "HistoryUrl", Link(std::string(kHistoryPath) + "?url="));
  IniWriteString(config, "Hosts", "ComparisonUrl", Link(std::string(kComparisonPath) + "?url="));
  IniWriteString(config, "Hosts", "CommissionUrl", Link(kCommissionPath));
}

std::string FakeProgramServers::Answer(ProgramRequest request) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const std::map<std::string, std::string>* script = &m_history;
  std::string key = request.Query("url");
  if (request.endpoint == ProgramEndpoint::kComparison) script = &m_comparison;
  if (request.endpoint == ProgramEndpoint::kCommission) {
    script = &m_commission;
    key = request.Query("s");
  }
  m_log.push_back(std::move(request));
  auto it = script->find(key);
  return it == script->end() ? std::string() : it->second;
}

int FakeProgramServers::Requests(ProgramEndpoint endpoint) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  int count = 0;
  for (const ProgramRequest& request : m_log) count += request.endpoint == endpoint;
  return count;
}

std::vector<ProgramRequest> FakeProgramServers::Log() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_log;
}
