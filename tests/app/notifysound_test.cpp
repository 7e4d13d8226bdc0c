#include "app/notifysound.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/qt_application.h"
#include "support/tempdir.h"

namespace {

TEST(NotifySound, PlaysAnExistingFileOnceEachTimeAndAMissingOneNever) {
  TestApplication();
  TempDir home(true);
  std::vector<std::string> played;
  SetNotifySoundHook([&](const std::string& path) { played.push_back(path); });

  PlayNotifySound(home.File("ding.wav"));
  EXPECT_TRUE(played.empty());
  PlayNotifySound(home.Path());  // a folder is no sound either
  EXPECT_TRUE(played.empty());

  home.Write("ding.wav", std::string("RIFF\x24\0\0\0WAVE", 12));
  PlayNotifySound(home.File("ding.wav"));
  PlayNotifySound(home.File("ding.wav"));
  EXPECT_EQ(played, (std::vector<std::string>{home.File("ding.wav"), home.File("ding.wav")}));
  SetNotifySoundHook(nullptr);
}

}  // namespace
