// Pictures drawn inside the lists: the selected-row band, the buy, compare,
// history and delete buttons, and the nine share badges of a product row.
#include <QLinearGradient>

#include "skin/paint.h"
#include "skin/skin_parts.h"

namespace {

using skin::Painter;

QImage SelectedRow() {
  // Stretched to every row's size: a plain vertical shade with a blue rule
  // at the left edge would smear, so the band is uniform across.
  QImage image = skin::Canvas(8, 32);
  Painter p(&image);
  QLinearGradient shade(0, 0, 0, 32);
  shade.setColorAt(0, QColor(235, 244, 255));
  shade.setColorAt(1, QColor(214, 232, 253));
  p.fillRect(QRectF(0, 0, 8, 32), shade);
  p.fillRect(QRectF(0, 0, 8, 1), QColor(190, 216, 248));
  p.fillRect(QRectF(0, 31, 8, 1), QColor(190, 216, 248));
  return image;
}

QImage Pill(int width, int height, const QColor& color, const QString& text, int fontSize) {
  QImage image = skin::Canvas(width, height);
  Painter p(&image);
  QRectF rect(0.5, 0.5, width - 1, height - 1);
  skin::Rounded(p, rect, height / 2.0 - 1, color.lighter(108), color.darker(104));
  skin::Text(p, rect, text, Qt::white, skin::UiFont(fontSize, true));
  return image;
}

QImage DeleteMark() {
  QImage image = skin::Canvas(16, 16);
  Painter p(&image);
  skin::Disc(p, QRectF(1, 1, 14, 14), QColor(176, 183, 195));
  p.setPen(skin::Stroke(Qt::white, 1.6));
  p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
  p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
  return image;
}

// Our own badges: a coloured disc with one white character each; no site's
// actual mark.
QImage ShareBadge(const QColor& color, const QString& mark) {
  QImage image = skin::Canvas(24, 24);
  Painter p(&image);
  skin::Disc(p, QRectF(1, 1, 22, 22), color);
  skin::Text(p, QRectF(1, 1, 22, 21), mark, Qt::white, skin::UiFont(13, true));
  return image;
}

}  // namespace

void AddListImages(std::vector<SkinFile>& files) {
  files.push_back({"imgs/ListSelBkg.png", skin::Png(SelectedRow())});
  const QString buy = QStringLiteral("购买");
  files.push_back({"imgs/GoTo.png", skin::Png(Pill(48, 20, skin::kOrange, buy, 12))});
  files.push_back({"imgs/GoToBtnHot.png", skin::Png(Pill(48, 20, skin::kRed, buy, 12))});
  files.push_back(
      {"imgs/CompBtn.png", skin::Png(Pill(64, 20, skin::kBlue, QStringLiteral("比价格"), 12))});
  files.push_back(
      {"imgs/HisBtn.png", skin::Png(Pill(64, 20, skin::kTeal, QStringLiteral("价格趋势"), 12))});
  files.push_back({"imgs/Del.png", skin::Png(DeleteMark())});
}

void AddShareImages(std::vector<SkinFile>& files) {
  struct Badge {
    const char* name;
    QColor color;
    const char* mark;
  };
  const Badge badges[] = {
      {"imgs/QQKongJianBtn.png", QColor(240, 176, 0), "Q"},
      {"imgs/SinaWeiboBtn.png", QColor(222, 45, 55), "浪"},
      {"imgs/QQWeiboBtn.png", QColor(40, 150, 215), "腾"},
      {"imgs/RenrenSnsBtn.png", QColor(20, 90, 170), "人"},
      {"imgs/KaixinSnsBtn.png", QColor(240, 100, 60), "开"},
      {"imgs/DoubanSnsBtn.png", QColor(46, 150, 61), "豆"},
      {"imgs/SohuWeiboBtn.png", QColor(245, 160, 30), "搜"},
      {"imgs/163WeiboBtn.png", QColor(190, 40, 45), "易"},
      {"imgs/BaiDuKongJianBtn.png", QColor(50, 70, 220), "百"},
  };
  for (const Badge& b : badges) {
    files.push_back({b.name, skin::Png(ShareBadge(b.color, QString::fromUtf8(b.mark)))});
  }
}
