#include "support/tool_folder.h"

#include <gtest/gtest.h>

#include "base/files.h"
#include "base/ini.h"
#include "engine/site.h"
#include "support/drawn_images.h"

ToolFolder::ToolFolder() {
  EXPECT_TRUE(CSiteList().SaveSites(home.File("sites.xml")));
  MakeDirectories(home.File("productimgs"));
  WriteImage(home.File("productimgs/blank.jpg"), DrawnImage(105, 105, {255, 255, 255, 255}), "jpg");
  IniWriteString(home.File("config.ini"), "Base", "SleepTime", "0");
  servers.PointProgramAt();
}
