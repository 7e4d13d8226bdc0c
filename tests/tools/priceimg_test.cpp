// vantrelctl priceimg, run as a separate program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/files.h"
#include "support/drawn_images.h"
#include "support/tempdir.h"

namespace {

struct RunResult {
  int status = -1;
  std::string out;
};

RunResult Vantrelctl(const std::string& arguments, const std::string& input = "") {
  const char* dir = std::getenv("VANTREL_PROGRAM_DIR");
  std::string command = std::string(dir ? dir : ".") + "/vantrelctl " + arguments;
  if (!input.empty()) command += " < '" + input + "'";
  RunResult run;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return run;
  char buffer[256];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class PriceImgCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDirectories(m_home.File("tpl"));
    for (char c : std::string("0123456789.")) {
      std::string name = c == '.' ? "pot" : std::string(1, c);
      WriteImage(m_home.File("tpl/" + name + ".gif"), DrawTemplate(TestFont().at(c)), "gif");
    }
    WriteImage(m_home.File("price.gif"), DrawText("1299.08"), "gif");
  }
  std::string Options() const { return "--templates '" + m_home.File("tpl") + "' --type gif"; }

  TempDir m_home{true};
};

TEST_F(PriceImgCommand, PrintsTheRecognisedText) {
  std::string image = " '" + m_home.File("price.gif") + "'";
  RunResult run = Vantrelctl("priceimg " + Options() + " --colors '204,0,0'" + image);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "1299.00\n");
  run = Vantrelctl("priceimg " + Options() + " --colors '1,1,1|204,0,0|' --domain " +
                   "www.newegg.com.cn" + image);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "1299.08\n");
  run = Vantrelctl("priceimg " + Options() + " --colors 204,0,0 -", m_home.File("price.gif"));
  EXPECT_EQ(run.out, "1299.00\n");
}

TEST_F(PriceImgCommand, FailuresAndUsage) {
  std::string colors = " --colors 204,0,0 ";
  struct Case {
    std::string arguments;
    int status;
  };
  for (const Case& c : std::vector<Case>{
           {Options() + colors + "'" + m_home.File("missing.gif") + "'", 1},
           {Options() + " --colors 0,0,0 '" + m_home.File("price.gif") + "'", 1},
           {"--templates '" + m_home.File("tpl") + "' --type png" + colors + "'" +
                m_home.File("price.gif") + "'",
            1},
           {Options() + colors, 2},
           {Options() + " '" + m_home.File("price.gif") + "'", 2},
           {Options() + colors + "a.gif b.gif", 2},
           {Options() + colors + "--bogus a.gif", 2},
       }) {
    RunResult run = Vantrelctl("priceimg " + c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_EQ(run.out, "") << c.arguments;
  }
  RunResult help = Vantrelctl("--help");
  EXPECT_NE(help.out.find("priceimg --templates DIR --type T --colors C [--domain D] IMAGE"),
            std::string::npos);
}

}  // namespace
