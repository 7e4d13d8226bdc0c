// Folders the program makes and files holding secrets are its owner's alone.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "base/files.h"
#include "support/tempdir.h"

namespace {

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u;
}

TEST(PrivateFiles, NewFoldersAre0700AndOldOnesKeepTheirMode) {
  TempDir dir;
  ASSERT_TRUE(MakeDirectories(dir.File("shared")));
  chmod(dir.File("shared").c_str(), 0755);
  ASSERT_TRUE(MakePrivateDirectories(dir.File("shared/a/b/")));
  ASSERT_TRUE(MakePrivateDirectories(dir.File("shared/a/b")));  // already there
  EXPECT_EQ(ModeOf(dir.File("shared")), 0755u);
  EXPECT_EQ(ModeOf(dir.File("shared/a")), 0700u);
  EXPECT_EQ(ModeOf(dir.File("shared/a/b")), 0700u);

  dir.Write("file", "x");
  EXPECT_FALSE(MakePrivateDirectories(dir.File("file/below")));
}

TEST(PrivateFiles, SecretsAre0600WhatEverTheOldFileWas) {
  TempDir dir;
  const std::string file = dir.File("cookies.txt");
  ASSERT_TRUE(WritePrivateFileAtomic(file, "one"));
  EXPECT_EQ(ModeOf(file), 0600u);
  chmod(file.c_str(), 0644);
  ASSERT_TRUE(WritePrivateFileAtomic(file, "two"));
  EXPECT_EQ(ModeOf(file), 0600u);
  EXPECT_EQ(dir.Read("cookies.txt"), "two");
}

}  // namespace
