// Backgrounds of the text buttons (dialog buttons, login buttons, the side
// column's tabs and the settings tabs) and the search button's picture.
#include "skin/paint.h"
#include "skin/skin_parts.h"

namespace {

using skin::Painter;

// A light plate with a hairline border; captions stay dark and legible on it.
QImage Plate(int width, int height, const QColor& top, const QColor& bottom, const QColor& border) {
  QImage image = skin::Canvas(width, height);
  Painter p(&image);
  QRectF outer(0.5, 0.5, width - 1, height - 1);
  skin::Rounded(p, outer, 3.5, border, border);
  skin::Rounded(p, outer.adjusted(1, 1, -1, -1), 2.5, top, bottom);
  return image;
}

// A tab: flat fill, and for the chosen one a blue bar along the bottom.
QImage Tab(int width, int height, const QColor& fill, const QColor& bar, int barHeight) {
  QImage image = skin::Canvas(width, height, fill);
  Painter p(&image);
  p.fillRect(QRectF(0, 0, 1, height), QColor(216, 222, 230));
  p.fillRect(QRectF(width - 1, 0, 1, height), QColor(216, 222, 230));
  p.fillRect(QRectF(0, height - barHeight, width, barHeight), bar);
  return image;
}

QImage Magnifier() {
  QImage image = skin::Canvas(24, 24);
  Painter p(&image);
  skin::Rounded(p, QRectF(0.5, 0.5, 23, 23), 4, skin::kBlue.lighter(108), skin::kBlueDark);
  p.setPen(skin::Stroke(Qt::white, 2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(10.5, 10.5), 5, 5);
  p.setPen(skin::Stroke(Qt::white, 2.6));
  p.drawLine(QPointF(14.3, 14.3), QPointF(18.5, 18.5));
  return image;
}

}  // namespace

void AddButtonImages(std::vector<SkinFile>& files) {
  files.push_back(
      {"imgs/Btn1Bkg.png", skin::Png(Plate(80, 26, QColor(255, 255, 255), QColor(236, 241, 247),
                                           QColor(190, 200, 214)))});
  files.push_back(
      {"imgs/Btn1HotBkg.png", skin::Png(Plate(80, 26, QColor(236, 245, 255), QColor(210, 229, 252),
                                              QColor(90, 155, 230)))});
  files.push_back(
      {"imgs/Btn3Bkg.png", skin::Png(Plate(80, 26, QColor(255, 246, 237), QColor(255, 228, 204),
                                           QColor(240, 160, 90)))});
  files.push_back(
      {"imgs/Btn3HotBkg.png",
       skin::Png(Plate(80, 26, QColor(255, 236, 218), QColor(255, 210, 170), skin::kOrangeDark))});
  files.push_back({"imgs/NavBtnBkg.png",
                   skin::Png(Tab(80, 28, QColor(238, 242, 247), QColor(216, 222, 230), 1))});
  files.push_back(
      {"imgs/NavBtnHotBkg.png", skin::Png(Tab(80, 28, skin::kBlueLight, skin::kBlue, 3))});
  files.push_back({"imgs/TabHeadBkg.png",
                   skin::Png(Tab(100, 30, QColor(236, 240, 245), QColor(216, 222, 230), 1))});
  files.push_back(
      {"imgs/TabHeadSelBkg.png", skin::Png(Tab(100, 30, skin::kPaper, skin::kBlue, 3))});
  files.push_back({"imgs/Search.png", skin::Png(Magnifier())});
}
