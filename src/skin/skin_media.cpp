// The updater's busy animation and finish picture, the change sound and the
// price digit templates.
#include <QtMath>
#include <algorithm>
#include <map>

#include "skin/chime.h"
#include "skin/digits.h"
#include "skin/gifwriter.h"
#include "skin/paint.h"
#include "skin/skin_parts.h"

namespace {

using skin::Painter;

constexpr int kSpinnerSize = 48;
constexpr int kSpinnerFrames = 8;
constexpr int kSpinnerDelay = 10;  // centiseconds; the updater steps it itself

QRgb Opaque(QRgb c) { return qRgb(qRed(c), qGreen(c), qBlue(c)); }

// Frames drawn on white, as one palette picture: white becomes the
// transparent colour, and when there are more colours than a GIF holds,
// the rarer ones take the nearest of the most common.
GifPicture PalettePicture(const std::vector<QImage>& frames, int delay) {
  std::map<QRgb, int> counts;
  for (const QImage& frame : frames) {
    for (int y = 0; y < frame.height(); ++y) {
      for (int x = 0; x < frame.width(); ++x) ++counts[Opaque(frame.pixel(x, y))];
    }
  }
  std::vector<std::pair<int, QRgb>> byUse;
  for (auto [rgb, count] : counts) byUse.push_back({-count, rgb});
  std::sort(byUse.begin(), byUse.end());
  if (byUse.size() > 256) byUse.resize(256);

  GifPicture picture;
  picture.width = frames.front().width();
  picture.height = frames.front().height();
  for (auto [count, rgb] : byUse) {
    if (rgb == qRgb(255, 255, 255))
      picture.transparentIndex = static_cast<int>(picture.palette.size());
    picture.palette.push_back(GifColor{static_cast<uint8_t>(qRed(rgb)),
                                       static_cast<uint8_t>(qGreen(rgb)),
                                       static_cast<uint8_t>(qBlue(rgb))});
  }
  auto nearest = [&picture](QRgb rgb) {
    int best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < picture.palette.size(); ++i) {
      const GifColor& c = picture.palette[i];
      long dr = qRed(rgb) - c.r, dg = qGreen(rgb) - c.g, db = qBlue(rgb) - c.b;
      long distance = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || distance < bestDistance) {
        best = static_cast<int>(i);
        bestDistance = distance;
      }
    }
    return static_cast<uint8_t>(best);
  };
  std::map<QRgb, uint8_t> indexOf;
  for (auto [rgb, count] : counts) indexOf[rgb] = nearest(rgb);
  for (const QImage& frame : frames) {
    GifFrame out;
    out.delayCentiseconds = delay;
    for (int y = 0; y < frame.height(); ++y) {
      for (int x = 0; x < frame.width(); ++x)
        out.indexes.push_back(indexOf[Opaque(frame.pixel(x, y))]);
    }
    picture.frames.push_back(std::move(out));
  }
  return picture;
}

// A ring of eight dots; the bright one moves on a step per frame and leaves
// a fading trail.
QImage SpinnerFrame(int step) {
  QImage image = skin::Canvas(kSpinnerSize, kSpinnerSize, Qt::white);
  Painter p(&image);
  p.translate(kSpinnerSize / 2.0, kSpinnerSize / 2.0);
  p.setPen(Qt::NoPen);
  for (int i = 0; i < kSpinnerFrames; ++i) {
    int age = (step - i + kSpinnerFrames) % kSpinnerFrames;
    QColor color = skin::kBlue;
    color.setAlphaF(std::max(0.18, 1.0 - age * 0.2));
    p.setBrush(color);
    qreal angle = qDegreesToRadians(i * 360.0 / kSpinnerFrames - 90);
    qreal radius = 4.6 - std::min(age, 4) * 0.35;
    p.drawEllipse(QPointF(16 * std::cos(angle), 16 * std::sin(angle)), radius, radius);
  }
  return image;
}

QImage Finished() {
  QImage image = skin::Canvas(kSpinnerSize, kSpinnerSize);
  Painter p(&image);
  skin::Disc(p, QRectF(2, 2, 44, 44), skin::kGreen);
  p.setPen(skin::Stroke(Qt::white, 4.5));
  p.setBrush(Qt::NoBrush);
  QPolygonF tick;
  tick << QPointF(13.5, 24.5) << QPointF(21, 32) << QPointF(35, 17);
  p.drawPolyline(tick);
  return image;
}

}  // namespace

void AddUpdaterImages(std::vector<SkinFile>& files) {
  std::vector<QImage> frames;
  for (int step = 0; step < kSpinnerFrames; ++step) frames.push_back(SpinnerFrame(step));
  files.push_back({"imgs/Updating.gif", EncodeGif(PalettePicture(frames, kSpinnerDelay))});
  files.push_back({"imgs/UpdateFinish.png", skin::Png(Finished())});
}

void AddSoundAndTemplates(std::vector<SkinFile>& files) {
  files.push_back({"ding.wav", EncodeWav(ChimeSamples(), kChimeSampleRate)});
  for (const DigitTemplateFile& t : DigitTemplateFiles()) {
    files.push_back({"priceimg/newegg/" + t.name, DigitGif(DigitTemplate(t.character))});
  }
}
