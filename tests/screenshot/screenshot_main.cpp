// Draws the main window as a user sees it after adding a few products: the
// program directory is a temporary one with the built skin, the products come
// from a shop on 127.0.0.1 through the add pipeline (with months of price
// history and offers of other shops from the program's servers), and one
// tracking pass later prices have risen and dropped; one product is paused.
// Writes, into OUTPUT_DIR:
//   screenshot-main.png, screenshot-main-small.png   default and smallest size
//   screenshot-search.png, screenshot-search-small.png   search results
//   screenshot-history.png   the price trend of the first product
//   screenshot-compare.png   its offers in other shops
//   screenshot-popup.png     the pop-up of a price drop
//
//   vantrel_screenshot OUTPUT_DIR
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QBuffer>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QThread>

#include "app/notifysound.h"
#include "app/popmsgdlg.h"
#include "app/searchlistdlg.h"
#include "app/vantreldlg.h"
#include "base/codepage.h"
#include "base/files.h"
#include "base/ini.h"
#include "base/message.h"
#include "base/programdir.h"
#include "controls/tasklistctrl.h"
#include "engine/site.h"
#include "engine/tasklist.h"
#include "engine/tracking.h"
#include "support/fake_program_servers.h"
#include "support/fakeshop.h"
#include "support/qt_application.h"
#include "support/tempdir.h"

namespace {

// Rows of every state the list shows: risen, dropped, unchanged and (made
// below) paused. Failed fetches ("抓取失败") get a product of their own here
// once the list has that state: a page the shop stops serving before the pass.
struct Product {
  const char* path;
  const char* name;
  const char* id;
  const char* price;
  const char* laterPrice;  // after the tracking pass
  QColor colour;
  const char* glyph;
};

const Product kProducts[] = {
    {"/item/kettle.html", "不锈钢电热水壶 1.7L 家用自动断电", "100231", "129.00", "99.00",
     QColor(52, 152, 219), "壶"},
    {"/item/headphones.html", "无线蓝牙降噪耳机 长续航 黑色", "100577", "459.00", "459.00",
     QColor(44, 62, 80), "耳"},
    {"/item/rice.html", "东北五常大米 5kg 当季新米", "100862", "69.90", "75.90",
     QColor(230, 126, 34), "米"},
    {"/item/lamp.html", "LED护眼台灯 三档调光 学生宿舍", "101024", "88.00", "88.00",
     QColor(39, 174, 96), "灯"},
    {"/item/backpack.html", "双肩电脑背包 15.6英寸 防泼水", "101355", "159.00", "139.00",
     QColor(142, 68, 173), "包"},
};

std::string Page(const Product& p, const std::string& price, const std::string& picture) {
  return std::string("<html><body><h1 id=\"name\">") + p.name + "</h1><span id=\"sku\">" + p.id +
         "</span><img id=\"pic\" src=\"" + picture + "\"><em id=\"price\">" + price +
         "</em><div id=\"stock\">现货</div>" + std::string(1600, ' ') + "</body></html>";
}

// A product picture of our own: a coloured tile with one character.
std::string Picture(const Product& p) {
  QImage image(240, 240, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(p.colour);
  painter.setPen(Qt::NoPen);
  painter.drawRoundedRect(QRectF(20, 20, 200, 200), 36, 36);
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize(120);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(20, 20, 200, 200), Qt::AlignCenter, QString::fromUtf8(p.glyph));
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// The skin and sound that the build put into the program directory.
void CopySkin(const std::string& home) {
  const char* built = std::getenv("VANTREL_PROGRAM_DIR");
  if (!built) return;
  namespace fs = std::filesystem;
  std::error_code error;
  for (const char* entry : {"imgs", "productimgs", "ding.wav"})
    fs::copy(fs::path(built) / entry, fs::path(home) / entry,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
}

// Months of history, newest first as the server sends it: one point every
// three weeks ending at the price the product was added with.
std::string HistoryReply(const Product& p) {
  const double now = std::atof(p.price);
  const double swings[] = {0, 0.06, 0.11, 0.04, 0.15, 0.09, 0.18, 0.12};
  const long long day = 86400;
  // A week before today, so that the point of today's pass follows on.
  const long long newest = (QDateTime::currentSecsSinceEpoch() / day - 7) * day;
  std::string reply = "[";
  for (size_t i = 0; i < std::size(swings); ++i) {
    char point[96];
    std::snprintf(point, sizeof point, "%s{\"t\":\"%lld\",\"p\":\"%.2f\"}", i ? "," : "",
                  newest - static_cast<long long>(i) * 21 * day, now * (1 + swings[i]));
    reply += point;
  }
  return reply + "]";
}

std::string ComparisonReply(const Product& p) {
  const double now = std::atof(p.price);
  const char* shops[] = {"优选商城", "家电直销", "百货旗舰店"};
  const double factors[] = {0.97, 1.04, 1.12};
  std::string reply = "[";
  for (int i = 0; i < 3; ++i) {
    char offer[320];
    std::snprintf(offer, sizeof offer,
                  "%s{\"title\":\"%s\",\"price\":\"%.2f\",\"url\":\"http://127.0.0.1/"
                  "offer/%s/%d\",\"site\":\"%s\"}",
                  i ? "," : "", p.name, now * factors[i], p.id, i, shops[i]);
    reply += offer;
  }
  return reply + "]";
}

bool Save(const QImage& image, const std::string& folder, const char* name) {
  const std::string path = folder + "/" + name;
  if (image.save(QString::fromStdString(path), "PNG")) {
    std::printf("%s\n", path.c_str());
    return true;
  }
  std::fprintf(stderr, "vantrel_screenshot: %s can't be written\n", path.c_str());
  return false;
}

// The window at `size`, laid out and painted.
QImage Shot(CVantrelDlg& window, QSize size) {
  window.resize(size);
  SpinUntil([] { return false; }, 300);
  window.repaint();
  return window.grab().toImage();
}

CSite ShopSite(const FakeShop& shop) {
  return PlainPageSite(Utf8ToLocal("示例商城"), shop.Host(), Utf8ToLocal("无货"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vantrel_screenshot OUTPUT_DIR\n");
    return 2;
  }
  const std::string output = std::filesystem::absolute(argv[1]).string();
  std::filesystem::create_directories(output);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TestApplication();
  TempDir home(true);
  CopySkin(home.Path());
  for (const char* folder : {"productitems", "productprices", "productimgs"})
    MakeDirectories(home.File(folder));
  SetMessageHandler([](unsigned, int, const std::string& text) {
    std::fprintf(stderr, "message: %s\n", LocalToUtf8(text).c_str());
    return IDOK;
  });
  SetNotifySoundHook([](const std::string&) {});

  FakeShop shop;
  FakeProgramServers servers;
  servers.PointProgramAt();
  const std::string config = home.File("config.ini");
  IniWriteString(config, "Hosts", "UpdateInfoUrl", "");
  IniWriteString(config, "Hosts", "SiteRulesUrl", "");
  IniWriteString(config, "Hosts", "SidePanelUrl", shop.Link("/panel.html"));
  shop.Page("/panel.html",
            "<html><body style=\"font-size:13px\"><h3 style=\"color:#d63031\">今日好价</h3>"
            "<p><a href=\"http://127.0.0.1/\">厨房电器 满199减30</a></p>"
            "<p><a href=\"http://127.0.0.1/\">数码配件 第二件半价</a></p>"
            "<p><a href=\"http://127.0.0.1/\">粮油副食 限时直降</a></p>"
            "<h3>使用提示</h3><p>点击商品图片可直接打开商品页面；"
            "价格下降时托盘图标会闪烁提醒。</p></body></html>");

  CSiteList sites;
  sites.AddSite(std::make_shared<CSite>(ShopSite(shop)));
  CTaskList tasks;
  MainWindowOptions options;
  options.title = Utf8ToLocal("洛纳万特尔");
  options.version = "1.069";
  options.offerAutoStart = false;
  auto window = std::make_unique<CVantrelDlg>(sites, tasks, options);
  const QSize defaultSize = window->size();
  const QSize smallestSize = window->minimumSize();
  window->show();

  for (const Product& p : kProducts) {
    const std::string picturePath = std::string("/pictures/") + p.id + ".png";
    shop.Reply(picturePath, MakeReply(Picture(p), "image/png"));
    shop.Page(p.path, Page(p, p.price, shop.Link(picturePath)));
    servers.History(shop.Link(p.path), HistoryReply(p));
    servers.Comparison(shop.Link(p.path), ComparisonReply(p));
    AddChoices choices;
    choices.link = shop.Link(p.path);
    choices.siteName = Utf8ToLocal("示例商城");
    window->AddNewTask(choices);
  }
  const int count = static_cast<int>(std::size(kProducts));
  if (!SpinUntil([&] { return window->TotalCount() == count; }, 60000)) {
    std::fprintf(stderr, "vantrel_screenshot: the products were not added\n");
    return 1;
  }
  // One pass over every product after the shop changed some prices.
  for (const Product& p : kProducts)
    shop.Page(p.path, Page(p, p.laterPrice, shop.Link(std::string("/pictures/") + p.id + ".png")));
  // A new task's timer fires once at once, which only ends its "add" state.
  SpinUntil(
      [&] {
        for (const TaskPtr& task : tasks.Tasks())
          if (!task->GetAddMode().empty()) return false;
        return true;
      },
      10000);
  for (const TaskPtr& task : tasks.Tasks()) window->Tracker().TrackingPass(task);
  SpinUntil([&] { return window->ChangeCount() == 3; }, 10000);
  // The lamp is paused.
  window->TaskList().DeselectAll();
  window->TaskList().SelectRow(3, true);
  window->PauseSelected();
  SpinUntil([] { return false; }, 1500);
  window->TaskList().DeselectAll();
  window->TaskList().SelectRow(0, true);

  bool saved = Save(Shot(*window, defaultSize), output, "screenshot-main.png") &&
               Save(Shot(*window, smallestSize), output, "screenshot-main-small.png");
  // Every tracked product of the shop.
  window->SetSearchText(QString::fromUtf8("示例商城"));
  window->Search();
  saved = saved && Save(Shot(*window, defaultSize), output, "screenshot-search.png") &&
          Save(Shot(*window, smallestSize), output, "screenshot-search-small.png");
  emit window->SearchPanel().closeRequested();
  window->SetSearchText(QString());

  window->SetCurrentRow(0);
  window->ShowPanel(CVantrelDlg::Panel::kHistory);
  saved = saved && Save(Shot(*window, defaultSize), output, "screenshot-history.png");
  window->ShowPanel(CVantrelDlg::Panel::kComparison);
  saved = saved && Save(Shot(*window, defaultSize), output, "screenshot-compare.png");

  CPopMsgContext context;
  context.startTimer = false;
  context.canBlend = [] { return false; };
  // Months of higher prices before: the history calls 99.00 its lowest.
  CPopMsgDlg popup(Utf8ToLocal("不锈钢电热水壶 1.7L 家用自动断电 价格下降：129.00 -> 99.00"),
                   shop.Link(kProducts[0].path), context,
                   DealNote{DealNote::Kind::kLow, Utf8ToLocal("历史最低"), true});
  popup.show();
  SpinUntil([] { return false; }, 200);
  saved = saved && Save(popup.grab().toImage(), output, "screenshot-popup.png");
  popup.close();
  if (!saved) return 1;
  window->Exit();
  return 0;
}
