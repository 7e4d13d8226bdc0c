#pragma once

// The program's own servers on 127.0.0.1 for tests: the price-history
// script, the comparison script and the commission-link service, with
// replies scripted per product link (or per key) and a log of requests.
//
//   TempDir home(true);
//   FakeProgramServers servers;
//   servers.History("http://shop.example/1", R"([{"t":"1356969600","p":"99"}])");
//   servers.PointProgramAt();          // section "Hosts" of config.ini
//   ... the program asks for the history of http://shop.example/1 ...
//   EXPECT_EQ(servers.Requests(ProgramEndpoint::kHistory), 1);
//
// Replies are UTF-8 texts; a link or key without a script gets an empty reply.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TestHttpServer;

enum class ProgramEndpoint { kHistory, kComparison, kCommission };

// A request as the servers received it, query values decoded.
struct ProgramRequest {
  ProgramEndpoint endpoint;
  std::string target;  // path and query as sent
  std::map<std::string, std::string> query;
  std::string Query(const std::string& name) const;
};

class FakeProgramServers {
 public:
  // The paths the endpoints answer at.
  static constexpr const char* kHistoryPath = "/price_history.php";
  static constexpr const char* kComparisonPath = "/price_comparison.php";
  static constexpr const char* kCommissionPath = "/buylink.php";

  FakeProgramServers();
  ~FakeProgramServers();
  FakeProgramServers(const FakeProgramServers&) = delete;
  FakeProgramServers& operator=(const FakeProgramServers&) = delete;

  // "http://127.0.0.1:PORT" + target.
  std::string Link(const std::string& target) const;

  // The history script's reply for ?url=productLink.
  void History(const std::string& productLink, const std::string& utf8Reply);
  // The comparison script's reply for ?url=productLink (whatever the name).
  void Comparison(const std::string& productLink, const std::string& utf8Reply);
  // The commission service's reply for ?s=key (whatever the link).
  void Commission(const std::string& key, const std::string& utf8Reply);

  // Writes HistoryUrl, ComparisonUrl and CommissionUrl into section "Hosts"
  // of the program directory's config.ini (the test's TempDir(true)), or of
  // the given config.ini.
  void PointProgramAt(const std::string& configFile = std::string()) const;

  int Requests(ProgramEndpoint endpoint) const;
  std::vector<ProgramRequest> Log() const;

 private:
  std::string Answer(ProgramRequest request);

  std::unique_ptr<TestHttpServer> m_server;
  mutable std::mutex m_mutex;
  std::map<std::string, std::string> m_history;
  std::map<std::string, std::string> m_comparison;
  std::map<std::string, std::string> m_commission;
  std::vector<ProgramRequest> m_log;
};
