// vantrelctl link, run as a separate program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/fake_program_servers.h"
#include "support/tempdir.h"

namespace {

struct LinkRun {
  int status = -1;
  std::string out;
};

// The arguments are single-quoted for the shell; the tests' links hold no quote.
LinkRun RunLink(const std::string& link, const std::string& gotoUrl = "", bool withGoto = false) {
  const char* dir = std::getenv("VANTREL_PROGRAM_DIR");
  std::string command = std::string(dir ? dir : ".") + "/vantrelctl link '" + link + "'";
  if (withGoto) command += " '" + gotoUrl + "'";
  LinkRun run;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return run;
  char buffer[256];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(LinkCommand, PrintsTheCleanedAndTheRewrittenLink) {
  TempDir home(true);
  home.Write("config.ini", "[Hosts]\r\nAmazonTag=partner-23\r\nCommissionUrl=\r\n");
  LinkRun run = RunLink("http://www.amazon.cn/dp/B1?tag=other#reviews");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "cleaned: http://www.amazon.cn/dp/B1?\n"
            "rewritten: http://www.amazon.cn/dp/B1?&tag=partner-23\n");
}

TEST(LinkCommand, AStoredCommissionLinkOrTheService) {
  TempDir home(true);
  FakeProgramServers servers;
  servers.Commission("jd", "http://c.example/jd/1");
  servers.PointProgramAt();
  EXPECT_EQ(RunLink("http://item.jd.com/1.html?cu=1", "http://c.example/stored", true).out,
            "cleaned: http://item.jd.com/1.html\nrewritten: http://c.example/stored\n");
  EXPECT_EQ(servers.Requests(ProgramEndpoint::kCommission), 0);
  EXPECT_EQ(RunLink("http://item.jd.com/1.html?cu=1").out,
            "cleaned: http://item.jd.com/1.html\nrewritten: http://c.example/jd/1\n");
  EXPECT_EQ(servers.Requests(ProgramEndpoint::kCommission), 1);
}

TEST(LinkCommand, EmptyResultsAndUsage) {
  TempDir home(true);
  // A Tao3c link without ".html" cleans to nothing.
  LinkRun run = RunLink("http://www.tao3c.com/product/1");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "cleaned: \nrewritten: \n");
  const char* dir = std::getenv("VANTREL_PROGRAM_DIR");
  std::string program = std::string(dir ? dir : ".") + "/vantrelctl";
  int status = std::system((program + " link >/dev/null 2>&1").c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
  status = std::system((program + " link a b c >/dev/null 2>&1").c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
