#include <gtest/gtest.h>

#include "app/batcheditdlg.h"
#include "base/stringtable.h"
#include "controls/spinedit.h"
#include "dialog_helpers.h"

namespace {

TEST(BatchEditDialogTest, RefusesLessThanOneMinuteAndStaysOpen) {
  TestApplication();
  struct Case {
    const char* hour;
    const char* minute;
    bool accepted;
    const char* hourOut;
    const char* minuteOut;
  };
  const Case cases[] = {
      {"0", "0", false, "", ""},      {"", "", false, "", ""},   {"00", "", false, "", ""},
      {"0", "5", true, "0", "5"},     {"", "5", true, "0", "5"}, {"1", "", true, "1", "0"},
      {"24", "60", true, "24", "60"},
  };
  for (const Case& c : cases) {
    MessageRecorder messages;
    CBatchEditDlg dialog;
    dialog.show();
    Child<CSpinEdit>(&dialog, "hourEdit")->setText(c.hour);
    Child<CSpinEdit>(&dialog, "minuteEdit")->setText(c.minute);
    Click(&dialog, "editButton");
    std::string label = std::string(c.hour) + "/" + c.minute;
    if (c.accepted) {
      EXPECT_TRUE(messages.Ids().empty()) << label;
      EXPECT_EQ(dialog.result(), CBatchEditDlg::kEditButton) << label;
      EXPECT_FALSE(dialog.isVisible()) << label;
      EXPECT_EQ(dialog.GetFrequencyHour(), c.hourOut) << label;
      EXPECT_EQ(dialog.GetFrequencyMinute(), c.minuteOut) << label;
    } else {
      EXPECT_EQ(messages.Ids(), std::vector<unsigned>{IDS_FREQUENCY_TOO_LOW}) << label;
      EXPECT_TRUE(dialog.isVisible()) << label;
      EXPECT_EQ(dialog.result(), 0) << label;
    }
  }
}

TEST(BatchEditDialogTest, StartsWithTheGivenTexts) {
  TestApplication();
  CBatchEditDlg dialog(nullptr, "3", "20");
  EXPECT_EQ(Child<CSpinEdit>(&dialog, "hourEdit")->text(), "3");
  EXPECT_EQ(dialog.GetFrequencyMinute(), "20");
}

}  // namespace
