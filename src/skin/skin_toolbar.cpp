// The toolbar's six buttons and the frame's title-bar buttons.
#include <QPainterPath>
#include <functional>

#include "skin/paint.h"
#include "skin/skin_parts.h"

namespace {

using skin::Painter;
using Glyph = std::function<void(QPainter&, const QColor&)>;

constexpr int kToolbarSize = 32;
constexpr int kFrameWidth = 28;
constexpr int kFrameHeight = 24;

// Toolbar glyphs, drawn on a 32 x 32 disc.
void Plus(QPainter& p, const QColor& c) {
  p.setPen(skin::Stroke(c, 3.2));
  p.drawLine(QPointF(16, 9), QPointF(16, 23));
  p.drawLine(QPointF(9, 16), QPointF(23, 16));
}

void Play(QPainter& p, const QColor& c) {
  QPainterPath triangle;
  triangle.moveTo(12.5, 9.5);
  triangle.lineTo(23.5, 16);
  triangle.lineTo(12.5, 22.5);
  triangle.closeSubpath();
  p.setPen(skin::Stroke(c, 1.6));
  p.setBrush(c);
  p.drawPath(triangle);
}

void Pause(QPainter& p, const QColor& c) {
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawRoundedRect(QRectF(10.5, 9.5, 4, 13), 1.2, 1.2);
  p.drawRoundedRect(QRectF(17.5, 9.5, 4, 13), 1.2, 1.2);
}

void Trash(QPainter& p, const QColor& c) {
  p.setPen(skin::Stroke(c, 2));
  p.drawLine(QPointF(9.5, 11), QPointF(22.5, 11));
  p.drawLine(QPointF(13.5, 8.5), QPointF(18.5, 8.5));
  QPainterPath body;
  body.moveTo(11, 13);
  body.lineTo(12, 23.5);
  body.lineTo(20, 23.5);
  body.lineTo(21, 13);
  p.drawPath(body);
  p.setPen(skin::Stroke(c, 1.4));
  p.drawLine(QPointF(14.5, 15), QPointF(14.8, 21));
  p.drawLine(QPointF(17.5, 15), QPointF(17.2, 21));
}

void Gear(QPainter& p, const QColor& c) {
  p.save();
  p.translate(16, 16);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  for (int i = 0; i < 8; ++i) {
    p.drawRoundedRect(QRectF(-2, -9.5, 4, 5), 1, 1);
    p.rotate(45);
  }
  p.drawEllipse(QPointF(0, 0), 6.5, 6.5);
  p.restore();
  // Punch the hub out so the disc shows through.
  p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
  p.setBrush(Qt::black);
  p.drawEllipse(QPointF(16, 16), 2.6, 2.6);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Power(QPainter& p, const QColor& c) {
  p.setPen(skin::Stroke(c, 2.6));
  p.setBrush(Qt::NoBrush);
  // An open ring with its gap at the top, and the bar through the gap.
  p.drawArc(QRectF(9, 9.5, 14, 14), 125 * 16, 290 * 16);
  p.drawLine(QPointF(16, 7.5), QPointF(16, 15.5));
}

QImage ToolbarIcon(const QColor& disc, const Glyph& glyph) {
  QImage image = skin::Canvas(kToolbarSize, kToolbarSize);
  Painter p(&image);
  skin::Disc(p, QRectF(1, 1, 30, 30), disc);
  // The glyph goes on its own layer so that punched holes reach the disc only.
  QImage layer = skin::Canvas(kToolbarSize, kToolbarSize);
  {
    Painter g(&layer);
    glyph(g, Qt::white);
  }
  p.drawImage(0, 0, layer);
  return image;
}

// Title-bar glyphs, drawn on a 28 x 24 button.
void Close(QPainter& p, const QColor& c) {
  p.setPen(skin::Stroke(c, 1.6));
  p.drawLine(QPointF(9.5, 7.5), QPointF(18.5, 16.5));
  p.drawLine(QPointF(18.5, 7.5), QPointF(9.5, 16.5));
}

void Maximise(QPainter& p, const QColor& c) {
  p.setPen(skin::Stroke(c, 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(9.5, 7.5, 9, 9), 1, 1);
}

void Restore(QPainter& p, const QColor& c) {
  p.setPen(skin::Stroke(c, 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(8.5, 9.5, 8, 8), 1, 1);
  QPainterPath back;
  back.moveTo(11.5, 7.5);
  back.lineTo(19.5, 7.5);
  back.lineTo(19.5, 15.5);
  p.drawPath(back);
}

void Minimise(QPainter& p, const QColor& c) {
  p.setPen(skin::Stroke(c, 1.6));
  p.drawLine(QPointF(9.5, 15.5), QPointF(18.5, 15.5));
}

void Menu(QPainter& p, const QColor& c) {
  p.setPen(skin::Stroke(c, 1.6));
  for (double y : {8.0, 12.0, 16.0}) p.drawLine(QPointF(9, y), QPointF(19, y));
}

void Share(QPainter& p, const QColor& c) {
  QPointF a(18.5, 7.5), b(9.5, 12), d(18.5, 16.5);
  p.setPen(skin::Stroke(c, 1.4));
  p.drawLine(a, b);
  p.drawLine(b, d);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  for (QPointF dot : {a, b, d}) p.drawEllipse(dot, 2.4, 2.4);
}

// Normal: a quiet glyph on nothing; focus: a soft plate under a darker glyph
// (white on red for close, as users expect).
QImage FrameButton(const Glyph& glyph, bool focus, bool danger) {
  QImage image = skin::Canvas(kFrameWidth, kFrameHeight);
  Painter p(&image);
  QColor ink = skin::kSlate;
  if (focus) {
    QColor plate = danger ? skin::kRed : QColor(224, 230, 238);
    skin::Rounded(p, QRectF(1, 1, kFrameWidth - 2, kFrameHeight - 2), 4, plate, plate);
    ink = danger ? QColor(Qt::white) : skin::kInk;
  }
  glyph(p, ink);
  return image;
}

}  // namespace

void AddToolbarImages(std::vector<SkinFile>& files) {
  struct Icon {
    const char* name;
    QColor disc;
    Glyph glyph;
  };
  const Icon icons[] = {
      {"imgs/TaskAdd.png", skin::kBlue, Plus},
      {"imgs/TaskStart.png", skin::kGreen, Play},
      {"imgs/TaskPause.png", skin::kOrange, Pause},
      {"imgs/TaskDelete.png", skin::kRed, Trash},
      {"imgs/AppConfig.png", skin::kSlate, Gear},
      {"imgs/AppExit.png", QColor(120, 128, 140), Power},
  };
  for (const Icon& icon : icons) {
    files.push_back({icon.name, skin::Png(ToolbarIcon(icon.disc, icon.glyph))});
  }
}

void AddFrameImages(std::vector<SkinFile>& files) {
  struct Button {
    const char* stem;
    Glyph glyph;
    bool danger;
  };
  const Button buttons[] = {{"Exit", Close, true},   {"Max", Maximise, false},
                            {"Res", Restore, false}, {"Min", Minimise, false},
                            {"More", Menu, false},   {"Share", Share, false}};
  for (const Button& b : buttons) {
    std::string stem = std::string("imgs/") + b.stem;
    files.push_back({stem + "Normal.png", skin::Png(FrameButton(b.glyph, false, b.danger))});
    files.push_back({stem + "Focus.png", skin::Png(FrameButton(b.glyph, true, b.danger))});
  }
}
