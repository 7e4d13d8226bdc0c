#include "server/demo.h"

#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include <httplib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "base/codepage.h"
#include "engine/site.h"
#include "engine/task.h"

namespace {

constexpr const char* kShopNames[2] = {"演示商城", "比价小店"};
constexpr const char* kInStock = "有货";
constexpr const char* kOutOfStock = "无货";
constexpr int kPictureSide = 240;

// Price factors in per cent, one per step; products start at different
// places in the cycle so that some price moves at nearly every step.
constexpr int kFactors[] = {100, 96, 92, 100, 105, 95, 90, 98};

std::string Flag(int shop) { return "data-shop=\"vantrel-demo-" + std::to_string(shop + 1) + "\""; }

std::string PriceText(int cents) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%02d", cents / 100, cents % 100);
  return text;
}

struct Rgb {
  unsigned char r, g, b;
};

}  // namespace

const std::vector<DemoProduct>& CDemoShops::Products() {
  static const std::vector<DemoProduct> products = {
      {0, 1001, "不锈钢电水壶 1.7升", 12900, false},
      {0, 1002, "无线蓝牙耳机 降噪版", 29900, false},
      {0, 1003, "全自动咖啡机 家用", 159900, false},
      {0, 1004, "机械键盘 青轴 104键", 39900, true},
      {0, 1005, "真空保温杯 500毫升", 15900, false},
      {0, 1006, "空气净化器 除甲醛", 89900, false},
      {1, 2001, "电水壶 1.7升 不锈钢", 11900, false},
      {1, 2002, "降噪版 无线蓝牙耳机", 32900, false},
      {1, 2004, "青轴机械键盘 104键", 37900, false},
      {1, 2006, "空气净化器 除甲醛 静音", 84900, false},
  };
  return products;
}

CDemoShops::CDemoShops(Clock clock) : m_clock(std::move(clock)) {
  if (!m_clock) m_clock = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
}

CDemoShops::~CDemoShops() {
  for (int shop = 0; shop < 2; ++shop) {
    if (m_servers[shop]) m_servers[shop]->stop();
    if (m_threads[shop].joinable()) m_threads[shop].join();
  }
}

std::int64_t CDemoShops::Step() const { return m_clock() / kStepSeconds; }

int CDemoShops::PriceCents(const DemoProduct& product) const {
  const int count = static_cast<int>(std::size(kFactors));
  const int factor = kFactors[(Step() + product.id) % count];
  // Whole yuan minus one fen, as shops like to price.
  const int cents = product.baseCents * factor / 100;
  return cents / 100 * 100 + (cents % 100 == 0 ? 0 : 90);
}

bool CDemoShops::InStock(const DemoProduct& product) const {
  return !product.goesOutOfStock || Step() % 4 != 3;
}

std::string CDemoShops::ShopName(int shop) const { return kShopNames[shop]; }

std::string CDemoShops::Link(const DemoProduct& product) const {
  return "http://127.0.0.1:" + std::to_string(m_ports[product.shop]) + "/item/" +
         std::to_string(product.id) + ".html";
}

std::string CDemoShops::PageHtml(const DemoProduct& product) const {
  const std::string host = "http://127.0.0.1:" + std::to_string(m_ports[product.shop]);
  const std::string id = std::to_string(product.id);
  std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" +
                     std::string(product.name) + " - " + ShopName(product.shop) +
                     "</title></head>\n<body " + Flag(product.shop) + ">\n<h1 id=\"name\">" +
                     product.name + "</h1>\n<p>商品编号 <span id=\"sku\">" + id +
                     "</span></p>\n<img id=\"main-image\" src=\"" + host + "/images/" + id +
                     ".png\" width=\"240\" height=\"240\">\n<p>价格 <em id=\"price\">￥" +
                     PriceText(PriceCents(product)) + "</em></p>\n<p>库存 <span id=\"stock\">" +
                     (InStock(product) ? kInStock : kOutOfStock) + "</span></p>\n";
  // Real product pages are long; short ones read as error pages.
  html += "<div class=\"description\">";
  for (int i = 0; i < 12; ++i)
    html +=
        "<p>这是万特尔演示商店的商品。价格每隔几分钟变化一次，方便您观察价格跟踪、"
        "历史价格和降价提醒。</p>";
  return html + "</div>\n</body></html>\n";
}

std::string CDemoShops::PicturePng(const DemoProduct& product) {
  static const Rgb kColours[] = {{231, 76, 60},  {52, 152, 219}, {46, 204, 113},
                                 {155, 89, 182}, {241, 196, 15}, {26, 188, 156}};
  const Rgb colour = kColours[(product.id % 1000 - 1 + 6) % 6];
  std::vector<unsigned char> pixels(kPictureSide * kPictureSide * 3);
  const double middle = kPictureSide / 2.0;
  for (int y = 0; y < kPictureSide; ++y) {
    for (int x = 0; x < kPictureSide; ++x) {
      unsigned char* pixel = &pixels[(y * kPictureSide + x) * 3];
      const double distance = std::hypot(x - middle, y - middle);
      // A coloured disc with a lighter ring on white; the second shop's
      // pictures carry a band at the bottom.
      Rgb c{255, 255, 255};
      if (distance < 90) c = colour;
      if (distance < 50 && distance > 40) c = {255, 255, 255};
      if (product.shop == 1 && y > kPictureSide - 24) c = {80, 80, 80};
      pixel[0] = c.r;
      pixel[1] = c.g;
      pixel[2] = c.b;
    }
  }
  std::string png;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
      },
      &png, kPictureSide, kPictureSide, 3, pixels.data(), kPictureSide * 3);
  return png;
}

bool CDemoShops::Start(int port) {
  for (int shop = 0; shop < 2; ++shop) {
    auto server = std::make_unique<httplib::Server>();
    server->Get(R"(/item/(\d+)\.html)", [this, shop](const httplib::Request& request,
                                                     httplib::Response& response) {
      for (const DemoProduct& product : Products()) {
        if (product.shop == shop && std::to_string(product.id) == request.matches[1].str()) {
          response.set_content(PageHtml(product), "text/html; charset=utf-8");
          return;
        }
      }
      response.status = 404;
    });
    server->Get(R"(/images/(\d+)\.png)", [shop](const httplib::Request& request,
                                                httplib::Response& response) {
      for (const DemoProduct& product : Products()) {
        if (product.shop == shop && std::to_string(product.id) == request.matches[1].str()) {
          response.set_content(PicturePng(product), "image/png");
          return;
        }
      }
      response.status = 404;
    });
    server->Get("/", [this, shop](const httplib::Request&, httplib::Response& response) {
      std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" +
                         ShopName(shop) + "</title></head><body><h1>" + ShopName(shop) +
                         "</h1><ul>";
      for (const DemoProduct& product : Products())
        if (product.shop == shop)
          html += "<li><a href=\"" + Link(product) + "\">" + product.name + "</a> ￥" +
                  PriceText(PriceCents(product)) + "</li>";
      response.set_content(html + "</ul></body></html>", "text/html; charset=utf-8");
    });
    const int wanted = port == 0 ? 0 : port + shop;
    const int bound = wanted == 0 ? server->bind_to_any_port("127.0.0.1")
                                  : (server->bind_to_port("127.0.0.1", wanted) ? wanted : -1);
    if (bound <= 0) {
      m_error = "the demo shop can't listen on 127.0.0.1:" + std::to_string(wanted);
      return false;
    }
    m_ports[shop] = bound;
    m_servers[shop] = std::move(server);
    httplib::Server* running = m_servers[shop].get();
    m_threads[shop] = std::thread([running] { running->listen_after_bind(); });
    // A stop before the loop runs would be lost, and the loop never end.
    for (int i = 0; i < 2500 && !running->is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::vector<std::pair<std::string, int>> CDemoShops::Addresses() const {
  return {{"127.0.0.1", m_ports[0]}, {"127.0.0.1", m_ports[1]}};
}

void CDemoShops::AddRules(CSiteList& sites) const {
  for (int shop = 0; shop < 2; ++shop) {
    auto site = std::make_shared<CSite>();
    const std::string host = "127.0.0.1:" + std::to_string(m_ports[shop]);
    site->SetName(Utf8ToLocal(ShopName(shop)));
    site->SetDomain(host);
    site->SetEncode("utf-8");
    site->SetFlag(Flag(shop));
    site->SetGoodsUrlTpl("http://" + host + "/item/$goodsid.html");
    site->SetIDRegex(R"(id="sku">([0-9]+)<)");
    site->SetNameRegex(R"(<h1 id="name">(.*?)</h1>)");
    site->SetPriceRegex(R"(id="price">[^0-9]*([0-9.,]+))");
    site->SetStockRegex(R"(id="stock">(.*?)<)");
    site->SetOutOfStockFlag(Utf8ToLocal(kOutOfStock));
    site->SetImageRegex(R"re(id="main-image" src="(.*?)")re");
    sites.AddSite(site);
  }
  // A list made only of the demo's rules still names a version.
  if (sites.GetVersion() == "99999") sites.SetVersion("1.0");
}

bool CDemoShops::HoldProducts(CServerStore& store, CPasswordHasher& hasher) const {
  const std::string password = "ZGVtbw==";  // "demo", encoded as the program sends it
  if (!store.FindAccount(kAccountEmail)) {
    const std::string hash = hasher.Hash(password);
    if (hash.empty() || !store.CreateAccount({kAccountEmail, hash, "演示"})) return false;
  }
  for (const DemoProduct& product : Products()) {
    CTaskValues values;
    values.url = Link(product);
    values.productName = Utf8ToLocal(product.name);
    values.productId = std::to_string(product.id);
    values.frequencyHour = "0";
    values.frequencyMinute = "1";
    values.status = 1;
    values.siteName = Utf8ToLocal(ShopName(product.shop));
    values.siteDomain = "127.0.0.1:" + std::to_string(m_ports[product.shop]);
    values.trackPrice = values.trackStock = values.priceDown = true;
    const CTask task(values);
    if (store.AddTask(kAccountEmail, values.url, product.name, task.ToXml()) ==
        TaskAddOutcome::kFailed)
      return false;
  }
  return true;
}

void CDemoShops::PrintWelcome() const {
  std::printf("Demo shops: http://127.0.0.1:%d/ (%s) and http://127.0.0.1:%d/ (%s)\n", m_ports[0],
              kShopNames[0], m_ports[1], kShopNames[1]);
  std::printf("Demo account: %s, password %s. Products to add in Vantrel:\n", kAccountEmail,
              kAccountPassword);
  for (const DemoProduct& product : Products())
    std::printf("  %s  %s\n", Link(product).c_str(), product.name);
}
