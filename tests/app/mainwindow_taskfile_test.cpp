// "导入任务…" and "导出任务…" of the main window.
#include <string>

#include "base/files.h"
#include "base/stringtable.h"
#include "mainwindow_fixture.h"
#include "services/taskexport.h"
#include "support/qt_application.h"

namespace {

TEST_F(MainWindowTest, TaskFilesGoOutAndComeBackAsRows) {
  AddTask("Kettle", true);
  OpenWindow();
  const QString exported = QString::fromStdString(home.File("out.json"));
  window->ExportTaskFile(exported);
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(home.File("out.json"), bytes));
  std::vector<ExportedTask> entries;
  std::string error;
  ASSERT_TRUE(ReadExportedTasks(bytes, entries, error)) << error;
  ASSERT_EQ(entries.size(), 1u);

  // The exported task again (tracked already) and a new one.
  ExportedTask added = entries[0];
  added.values.url = shop.Link("/item/new.html");
  added.values.productName = "Teapot";
  added.values.productId = "777";
  added.values.currency = "EUR";
  entries.push_back(added);
  home.Write("in.json", ExportJson(entries));
  window->ImportTaskFile(QString::fromStdString(home.File("in.json")));
  ASSERT_TRUE(SpinUntil([&] { return Model().rowCount() == 2; }));
  EXPECT_EQ(Cell(1, kColumnName), QStringLiteral("Teapot"));
  // The price says its currency when the shop names one.
  EXPECT_EQ(Cell(1, kColumnPrice).section(QStringLiteral("\r\n"), 0, 0),
            QStringLiteral("99.00 EUR"));
  EXPECT_EQ(Cell(0, kColumnPrice).section(QStringLiteral("\r\n"), 0, 0), QStringLiteral("99.00"));
  EXPECT_EQ(tasks.GetCount(), 2);

  home.Write("bad.json", "{\"Tasks\": [{\"Url\": 5}]}");
  window->ImportTaskFile(QString::fromStdString(home.File("bad.json")));
  EXPECT_EQ(tasks.GetCount(), 2);
  EXPECT_EQ(Messages(), (std::vector<unsigned>{IDS_TASK_FILE_IMPORTED, 0u}));
}

}  // namespace
