// Draws the change notifications and the price-trend panel with the
// program's own widgets and skin, offscreen, into two PNG files for the
// README: notify-change.png (change list and pop-up after a price drop) and
// notify-history.png (the history panel with its chart).
#include <cstdio>
#include <memory>
#include <string>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include "app/changelistdlg.h"
#include "app/hispricedlg.h"
#include "app/popmsgdlg.h"
#include "base/codepage.h"
#include "base/files.h"
#include "base/programdir.h"
#include "engine/task.h"
#include "services/history.h"

namespace {

std::shared_ptr<CTask> ChangedTask(const char* name, const char* site, const char* before,
                                   const char* now, int stockBefore, int stockNow,
                                   const char* priceState, const char* stockState) {
  CTaskValues values;
  values.url = "http://127.0.0.1:8765/item/1001.html";
  values.productName = Utf8ToLocal(name);
  values.siteName = Utf8ToLocal(site);
  values.currentPrice = now;
  values.currentStock = stockNow;
  auto task = std::make_shared<CTask>(values);
  task->SetPreviousPrice(before);
  task->SetPreviousStock(stockBefore);
  task->SetPriceState(priceState);
  task->SetStockState(stockState);
  return task;
}

QImage ChangeScene() {
  CChangeListDlg list;
  list.AddChange(
      *ChangedTask("蓝牙耳机 降噪版", "示例商城", "299.00", "299.00", 0, 1, "nochange", "change"));
  list.AddChange(*ChangedTask("全自动咖啡机 家用 15Bar", "示例商城", "1299.00", "1099.00", 1, 1,
                              "down", "nochange"));
  list.resize(820, list.PreferredHeight() + 40);
  list.show();

  CPopMsgContext context;
  context.startTimer = false;
  CPopMsgDlg popup(Utf8ToLocal("全自动咖啡机 家用 15Bar价格变为1099.00"), "http://127.0.0.1:8765/",
                   context);
  for (int i = 0; i < 3; ++i) popup.Tick();  // fully faded in
  popup.show();

  const QImage listImage = list.grab().toImage();
  const QImage popImage = popup.grab().toImage();
  QImage scene(std::max(listImage.width(), popImage.width() + 40),
               listImage.height() + popImage.height() + 40, QImage::Format_RGB32);
  scene.fill(QColor(230, 236, 242));
  QPainter painter(&scene);
  painter.drawImage(0, 0, listImage);
  painter.drawImage(scene.width() - popImage.width() - 20, listImage.height() + 20, popImage);
  return scene;
}

QImage HistoryScene(const std::string& file) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<HPrices><LPDate>2024-05-20 "
      "08:00:00</LPDate><LowestPrice>1099.00</LowestPrice><HPDate>2024-02-01 "
      "09:00:00</HPDate><HighestPrice>1399.00</HighestPrice><HPriceList>";
  const char* points[][2] = {{"2024-05-20 08:00:00", "1099.00"}, {"2024-05-01 10:00:00", "1199.00"},
                             {"2024-04-12 21:30:00", "1249.00"}, {"2024-03-28 12:00:00", "1299.00"},
                             {"2024-03-10 18:45:00", "1349.00"}, {"2024-02-20 07:10:00", "1299.00"},
                             {"2024-02-01 09:00:00", "1399.00"}};
  for (const auto& point : points)
    xml += std::string("<HPrice><Date>") + point[0] + "</Date><Price>" + point[1] +
           "</Price></HPrice>";
  xml += "</HPriceList></HPrices>";
  WriteFileAtomic(file, xml);
  auto history = std::make_shared<CPriceInfo>();
  history->LoadCache(file);

  CHisPriceDlg panel;
  panel.resize(320, 520);
  panel.ShowHistory(history);
  panel.show();
  return panel.grab().toImage();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
  QDir().mkpath(out);
  const bool changeSaved = ChangeScene().save(out + "/notify-change.png");
  const std::string historyFile = ProgramFile("notify-shots-history.xml");
  const bool historySaved = HistoryScene(historyFile).save(out + "/notify-history.png");
  std::remove(historyFile.c_str());
  if (!changeSaved || !historySaved) {
    std::fprintf(stderr, "notify-shots: could not write the images to %s\n",
                 out.toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
