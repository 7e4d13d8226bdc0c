// The main window's backgrounds and logo, the message-box pictures, the
// program and tray icons, and the "no picture" product image.
#include <QLinearGradient>
#include <QPainterPath>

#include "skin/paint.h"
#include "skin/skin_parts.h"

namespace {

using skin::Painter;

// The program's mark: a white price tag with a yen sign on a rounded square.
void LogoMark(QPainter& p, const QRectF& r, const QColor& color) {
  const qreal u = r.width();
  skin::Rounded(p, r, u * 0.22, color.lighter(115), color.darker(108));
  p.save();
  p.translate(r.center());
  p.rotate(-35);
  QPainterPath tag;
  tag.moveTo(-0.38 * u, 0);
  tag.lineTo(-0.20 * u, -0.19 * u);
  tag.lineTo(0.34 * u, -0.19 * u);
  tag.lineTo(0.34 * u, 0.19 * u);
  tag.lineTo(-0.20 * u, 0.19 * u);
  tag.closeSubpath();
  QPainterPath hole;
  hole.addEllipse(QPointF(-0.21 * u, 0), 0.05 * u, 0.05 * u);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(tag.subtracted(hole));
  QFont font = skin::UiFont(std::max(6, qRound(0.30 * u)), true);
  skin::Text(p, QRectF(-0.14 * u, -0.17 * u, 0.46 * u, 0.38 * u), QStringLiteral("¥"), color, font);
  p.restore();
}

QImage Icon(int size, const QColor& color) {
  QImage image = skin::Canvas(size, size);
  Painter p(&image);
  qreal margin = size / 32.0;
  LogoMark(p, QRectF(margin, margin, size - 2 * margin, size - 2 * margin), color);
  return image;
}

// Stretched over the whole window: only soft vertical shading, so any size
// looks the same.
QImage MainBackground() {
  QImage image = skin::Canvas(960, 640);
  Painter p(&image);
  QLinearGradient shade(0, 0, 0, 640);
  shade.setColorAt(0, QColor(250, 252, 255));
  shade.setColorAt(1, skin::kBackground);
  p.fillRect(image.rect(), shade);
  return image;
}

QImage StatusBar() {
  QImage image = skin::Canvas(8, 28);
  Painter p(&image);
  QLinearGradient shade(0, 0, 0, 28);
  shade.setColorAt(0, QColor(248, 250, 253));
  shade.setColorAt(1, QColor(233, 238, 245));
  p.fillRect(image.rect(), shade);
  p.fillRect(QRectF(0, 0, 8, 1), QColor(213, 220, 230));
  return image;
}

// The mark and the program's name side by side, height h (36 in the window).
QImage Banner(int h) {
  const qreal k = h / 36.0;
  QImage image = skin::Canvas(qRound(180 * k), h);
  Painter p(&image);
  LogoMark(p, QRectF(2 * k, 3 * k, 30 * k, 30 * k), skin::kBlue);
  p.setFont(skin::UiFont(qRound(20 * k), true));
  p.setPen(skin::kInk);
  p.drawText(QRectF(40 * k, 0, 140 * k, h), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("洛纳万特尔"));
  return image;
}

QImage MessagePicture(const QColor& color, const QString& mark) {
  QImage image = skin::Canvas(48, 48);
  Painter p(&image);
  skin::Disc(p, QRectF(2, 2, 44, 44), color);
  skin::Text(p, QRectF(2, 2, 44, 43), mark, Qt::white, skin::UiFont(30, true));
  return image;
}

// 105 x 105 like every product picture: a framed landscape and a caption on
// a light plate. Rich enough in detail to stay above the size the start-up
// takes for a broken download.
QImage NoPicture() {
  QImage image = skin::Canvas(105, 105, QColor(244, 246, 249));
  Painter p(&image);
  const QColor line(190, 198, 210);
  p.setPen(QPen(QColor(226, 230, 236), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, 104, 104));
  p.setPen(skin::Stroke(line, 2));
  p.drawRoundedRect(QRectF(29.5, 22.5, 46, 36), 4, 4);
  QPainterPath hills;
  hills.moveTo(32, 55);
  hills.lineTo(45, 39);
  hills.lineTo(54, 48);
  hills.lineTo(61, 42);
  hills.lineTo(73, 55);
  hills.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(line);
  p.drawPath(hills);
  p.drawEllipse(QPointF(63, 32), 4, 4);
  skin::Text(p, QRectF(0, 66, 105, 20), QStringLiteral("暂无图片"), QColor(150, 158, 170),
             skin::UiFont(13));
  return image;
}

}  // namespace

void AddWindowImages(std::vector<SkinFile>& files) {
  files.push_back({"imgs/MainDlgBkg.png", skin::Png(MainBackground())});
  files.push_back({"imgs/StatusBarBkg.png", skin::Png(StatusBar())});
  files.push_back({"imgs/LogoTitle.png", skin::Png(Banner(36))});
  // The server's side-panel page shows the same banner, larger.
  files.push_back({"imgs/logo.png", skin::Png(Banner(72))});
  files.push_back(
      {"imgs/Alert.png", skin::Png(MessagePicture(skin::kOrange, QStringLiteral("!")))});
  files.push_back({"imgs/Ques.png", skin::Png(MessagePicture(skin::kBlue, QStringLiteral("?")))});
  // Boxes that report a success: the warning's orange would alarm.
  files.push_back({"imgs/Info.png", skin::Png(MessagePicture(skin::kGreen, QStringLiteral("i")))});
  files.push_back({"imgs/AppIcon.png", skin::Png(Icon(128, skin::kBlue))});
  files.push_back({"imgs/TrayNormal.png", skin::Png(Icon(32, skin::kBlue))});
  // The blink alternates with the normal icon: same mark, alarm colour.
  files.push_back({"imgs/TrayBlink.png", skin::Png(Icon(32, skin::kOrange))});
  files.push_back({"productimgs/blank.jpg", skin::Jpeg(NoPicture(), 92)});
}

std::vector<SkinFile> MakeDesktopIcons() {
  std::vector<SkinFile> files;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::string folder = std::to_string(size) + "x" + std::to_string(size);
    files.push_back({folder + "/apps/vantrel.png", skin::Png(Icon(size, skin::kBlue))});
  }
  return files;
}
