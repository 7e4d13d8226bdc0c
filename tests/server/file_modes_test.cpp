// The server's files hold password hashes: what it makes is its owner's.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "server/run.h"
#include "server/store.h"
#include "support/tempdir.h"

namespace {

unsigned Mode(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 0777;
}

TEST(FileModes, ANewDatabaseIsTheOwnersOnlyAndAGivenOneKeepsItsMode) {
  TempDir folder;
  const std::string path = folder.File("new.db");
  std::string error;
  std::unique_ptr<CServerStore> store = OpenServerStore(path, error);
  ASSERT_TRUE(store) << error;
  ASSERT_TRUE(store->CreateAccount({"a@b.cn", "hash", "A"}));
  for (const std::string& file : {path, path + "-wal", path + "-shm"}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(Mode(file), 0600u);
  }
  folder.Write("given.db", "");
  const std::string given = folder.File("given.db");
  ASSERT_EQ(chmod(given.c_str(), 0640), 0);
  ASSERT_TRUE(OpenServerStore(given, error)) << error;
  EXPECT_EQ(Mode(given), 0640u);
}

TEST(FileModes, TheDataFolderTheServerMakesIsTheOwnersOnly) {
  TempDir home(true);
  ServerOptions options;
  options.port = 0;
  options.trackMinutes = 0;
  options.dataFolder = home.File("fresh/data/");
  options.database = options.dataFolder + "vantrel.db";
  options.passwordCost = CPasswordHasher::Cost::kMinimum;
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunServer(options, [] {}), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(Mode(options.dataFolder), 0700u);
  EXPECT_EQ(Mode(options.database), 0600u);
}

}  // namespace
