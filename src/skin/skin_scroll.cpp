// Scroll-bar pieces of the skinned lists and the spin buttons. Vertical
// pieces are the horizontal ones turned a quarter, so both bars match.
#include <QPainterPath>
#include <QTransform>

#include "skin/paint.h"
#include "skin/skin_parts.h"

namespace {

using skin::Painter;

constexpr int kBar = 16;
const QColor kTrack{241, 243, 246};
const QColor kEdge{222, 227, 234};
const QColor kThumb{195, 203, 214};
const QColor kArrow{110, 120, 135};

void Chevron(QPainter& p, QPointF tip, qreal depth, qreal half, bool pointsLeft,
             const QColor& color) {
  qreal back = pointsLeft ? tip.x() + depth : tip.x() - depth;
  QPainterPath path;
  path.moveTo(back, tip.y() - half);
  path.lineTo(tip);
  path.lineTo(back, tip.y() + half);
  p.setPen(skin::Stroke(color, 1.8));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

QImage ArrowButton(bool pointsLeft) {
  QImage image = skin::Canvas(kBar, kBar, kTrack);
  Painter p(&image);
  Chevron(p, QPointF(pointsLeft ? 6 : 10, 8), 3.5, 4, pointsLeft, kArrow);
  return image;
}

QImage Span() {
  QImage image = skin::Canvas(kBar, kBar, kTrack);
  Painter p(&image);
  p.fillRect(QRectF(0, 0, kBar, 1), kEdge);
  return image;
}

// Stretched along the bar: round ends would smear, so the thumb is a flat
// plate with a margin across the bar.
QImage Thumb() {
  QImage image = skin::Canvas(kBar, kBar, kTrack);
  Painter p(&image);
  p.fillRect(QRectF(0, 3, kBar, kBar - 6), kThumb);
  return image;
}

QImage Upright(const QImage& horizontal) { return horizontal.transformed(QTransform().rotate(90)); }

QImage Spin(bool up, bool hot) {
  QImage image = skin::Canvas(16, 10, hot ? skin::kBlueLight : kTrack);
  Painter p(&image);
  p.setPen(Qt::NoPen);
  p.setBrush(hot ? skin::kBlue : kArrow);
  QPainterPath triangle;
  qreal tip = up ? 2.5 : 7.5;
  qreal base = up ? 7 : 3;
  triangle.moveTo(8, tip);
  triangle.lineTo(12, base);
  triangle.lineTo(4, base);
  triangle.closeSubpath();
  p.drawPath(triangle);
  return image;
}

}  // namespace

void AddScrollImages(std::vector<SkinFile>& files) {
  files.push_back({"imgs/HScrollBarLeftArrow.png", skin::Png(ArrowButton(true))});
  files.push_back({"imgs/HScrollBarRightArrow.png", skin::Png(ArrowButton(false))});
  files.push_back({"imgs/HScrollBarSpan.png", skin::Png(Span())});
  files.push_back({"imgs/HScrollBarThumb.png", skin::Png(Thumb())});
  // A quarter turn clockwise takes left to up and right to down.
  files.push_back({"imgs/VScrollBarUpArrow.png", skin::Png(Upright(ArrowButton(true)))});
  files.push_back({"imgs/VScrollBarDownArrow.png", skin::Png(Upright(ArrowButton(false)))});
  files.push_back({"imgs/VScrollBarSpan.png", skin::Png(Upright(Span()))});
  files.push_back({"imgs/VScrollBarThumb.png", skin::Png(Upright(Thumb()))});
  files.push_back({"imgs/SpinUp.png", skin::Png(Spin(true, false))});
  files.push_back({"imgs/SpinUpHot.png", skin::Png(Spin(true, true))});
  files.push_back({"imgs/SpinDown.png", skin::Png(Spin(false, false))});
  files.push_back({"imgs/SpinDownHot.png", skin::Png(Spin(false, true))});
}
