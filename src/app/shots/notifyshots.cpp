// Draws the change notifications and the price-trend panel with the
// program's own widgets and skin, offscreen, into two PNG files for the
// README: notify-change.png (change list and pop-ups after price drops, with
// what the price history says of them) and notify-history.png (the history
// panel with its lows and chart).
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include "app/changelistdlg.h"
#include "app/hispricedlg.h"
#include "app/popmsgdlg.h"
#include "base/clock.h"
#include "base/codepage.h"
#include "base/files.h"
#include "base/programdir.h"
#include "base/timetext.h"
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

DealNote Note(DealNote::Kind kind, const char* text) {
  return DealNote{kind, Utf8ToLocal(text), kind == DealNote::Kind::kLow};
}

QImage PopUp(const char* text, const DealNote& note) {
  CPopMsgContext context;
  context.startTimer = false;
  CPopMsgDlg popup(Utf8ToLocal(text), "http://127.0.0.1:8765/", context, note);
  for (int i = 0; i < 3; ++i) popup.Tick();  // fully faded in
  popup.show();
  return popup.grab().toImage();
}

QImage ChangeScene() {
  const DealNote low = Note(DealNote::Kind::kLow, "近90天最低");
  const DealNote undone = Note(DealNote::Kind::kRiseUndone, "先涨后降：14天内从279.00涨到329.00");
  CChangeListDlg list;
  list.AddChange(
      *ChangedTask("蓝牙耳机 降噪版", "示例商城", "299.00", "299.00", 0, 1, "nochange", "change"));
  auto toothbrush =
      ChangedTask("电动牙刷 声波款", "示例商城", "329.00", "299.00", 1, 1, "down", "nochange");
  toothbrush->SetDealNote(undone);
  list.AddChange(*toothbrush);
  auto coffee = ChangedTask("全自动咖啡机 家用 15Bar", "示例商城", "1299.00", "1099.00", 1, 1,
                            "down", "nochange");
  coffee->SetDealNote(low);
  list.AddChange(*coffee);
  list.resize(820, list.PreferredHeight() + 40);
  list.show();

  const QImage listImage = list.grab().toImage();
  const QImage popups[] = {PopUp("电动牙刷 声波款价格变为299.00", undone),
                           PopUp("全自动咖啡机 家用 15Bar价格变为1099.00", low)};
  const int popHeight = std::max(popups[0].height(), popups[1].height());
  QImage scene(std::max(listImage.width(), 2 * popups[0].width() + 60),
               listImage.height() + popHeight + 40, QImage::Format_RGB32);
  scene.fill(QColor(230, 236, 242));
  QPainter painter(&scene);
  painter.drawImage(0, 0, listImage);
  int right = scene.width() - 20;
  for (const QImage& popup : popups) {
    painter.drawImage(right - popup.width(), scene.height() - 20 - popup.height(), popup);
    right -= popup.width() + 20;
  }
  return scene;
}

// Five days after the last drop: the lowest price of 90 days, not of 180.
QImage HistoryScene(const std::string& file) {
  std::time_t now = 0;
  ParseTimeText("2024-05-25 12:00:00", now);
  SetClockForTesting([now] { return now; });
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<HPrices><LPDate>2023-11-25 "
      "09:00:00</LPDate><LowestPrice>1049.00</LowestPrice><HPDate>2024-01-10 "
      "09:00:00</HPDate><HighestPrice>1399.00</HighestPrice><HPriceList>";
  const char* points[][2] = {
      {"2024-05-20 08:00:00", "1099.00"}, {"2024-05-01 10:00:00", "1199.00"},
      {"2024-04-12 21:30:00", "1249.00"}, {"2024-03-28 12:00:00", "1299.00"},
      {"2024-03-10 18:45:00", "1349.00"}, {"2024-02-20 07:10:00", "1299.00"},
      {"2024-01-10 09:00:00", "1399.00"}, {"2023-11-25 09:00:00", "1049.00"}};
  for (const auto& point : points)
    xml += std::string("<HPrice><Date>") + point[0] + "</Date><Price>" + point[1] +
           "</Price></HPrice>";
  xml += "</HPriceList></HPrices>";
  WriteFileAtomic(file, xml);
  auto history = std::make_shared<CPriceInfo>();
  history->LoadCache(file);

  CHisPriceDlg panel;
  panel.resize(320, 600);
  panel.ShowHistory(history);
  panel.show();
  QImage image = panel.grab().toImage();
  SetClockForTesting({});
  return image;
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
