#include <gtest/gtest.h>

#include <QString>

#include "app/vantrelapp.h"
#include "support/tempdir.h"

namespace {

// Copies in two folders are two installations: neither may take the other
// for its running instance.
TEST(ServerName, OnePerProgramDirectory) {
  QString first;
  QString again;
  QString second;
  {
    TempDir home(true);
    first = CVantrelApp::DefaultServerName();
    again = CVantrelApp::DefaultServerName();
  }
  {
    TempDir home(true);
    second = CVantrelApp::DefaultServerName();
  }
  EXPECT_EQ(first, again);
  EXPECT_NE(first, second);
  EXPECT_TRUE(first.startsWith(QStringLiteral("Vantrel-")));
}

}  // namespace
