#include <gtest/gtest.h>

#include "base/stringtable.h"
#include "running_program.h"
#include "worker_fixture.h"

namespace {

TEST_F(WorkerTest, ARunningMainProgramIsEndedWhenTheUserConfirms) {
  RunningCopy program(home, name, "/bin/sleep", {"30"});
  ASSERT_GT(program.Pid(), 0);
  std::atomic<bool> runningAtDownload{true};
  server.Get("/upd/a.txt", [&](const httplib::Request&, httplib::Response& reply) {
    runningAtDownload = FileExists("/proc/" + std::to_string(program.Pid()) + "/exe");
    reply.set_content("A", "text/plain");
  });
  ServeInfo("VERSION=2\r\nFILE1=a.txt\r\n");
  questionAnswer = IDOK;

  Run();

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], name + "已在运行！请先关闭程序才能进行更新！如果选择确定将强行关闭程序！");
  EXPECT_EQ(messageIds[0], unsigned{IDS_UPD_PROGRAM_RUNNING});
  EXPECT_FALSE(program.Running());
  EXPECT_EQ(program.EndSignal(), SIGTERM);
  EXPECT_FALSE(runningAtDownload);
  EXPECT_EQ(home.Read("a.txt"), "A");
}

TEST_F(WorkerTest, ARunningMainProgramIsLeftAloneOtherwise) {
  RunningCopy program(home, name, "/bin/sleep", {"30"});
  ASSERT_GT(program.Pid(), 0);
  server.Page("/upd/a.txt", "A", "text/plain");
  ServeInfo("VERSION=2\r\nFILE1=a.txt\r\n");
  questionAnswer = IDCANCEL;

  Run();

  EXPECT_EQ(messages.size(), 1u);
  EXPECT_TRUE(program.Running());
  // The downloads go ahead.
  EXPECT_EQ(home.Read("a.txt"), "A");
}

TEST_F(WorkerTest, NoQuestionWithoutARunningProgramOrANewVersion) {
  RunningCopy program(home, name, "/bin/sleep", {"30"});
  ServeInfo("VERSION=1.069\r\nFILE1=a.txt\r\n");
  Run();
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(program.Running());
}

}  // namespace
