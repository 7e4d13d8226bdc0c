#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <string>

// Drawing helpers and the colours of the skin: a light, flat look with one
// blue for actions, orange for buying, and red / green for price trends.
namespace skin {

inline const QColor kBlue{43, 125, 233};
inline const QColor kBlueDark{28, 98, 196};
inline const QColor kBlueLight{227, 240, 255};
inline const QColor kOrange{255, 112, 26};
inline const QColor kOrangeDark{232, 86, 10};
inline const QColor kRed{229, 57, 53};
inline const QColor kGreen{46, 158, 68};
inline const QColor kTeal{0, 150, 160};
inline const QColor kSlate{96, 110, 130};
inline const QColor kInk{48, 48, 48};
inline const QColor kLine{224, 224, 224};
inline const QColor kPaper{255, 255, 255};
inline const QColor kBackground{243, 246, 250};

// A transparent (or filled) ARGB picture.
QImage Canvas(int width, int height, const QColor& fill = Qt::transparent);
// Encoded file bytes; empty when encoding fails.
std::string Png(const QImage& image);
std::string Jpeg(const QImage& image, int quality);

// The interface font: it has every Chinese character the skin writes.
QFont UiFont(int pixelSize, bool bold = false);

// A painter with antialiasing on, for the whole life of the object.
class Painter : public QPainter {
 public:
  explicit Painter(QImage* image);
};

// A filled circle with a light top-to-bottom shade.
void Disc(QPainter& p, const QRectF& rect, const QColor& color);
// A filled rounded rectangle, flat or shaded from `top` to `bottom`.
void Rounded(QPainter& p, const QRectF& rect, qreal radius, const QColor& top,
             const QColor& bottom);
// Text centred in rect.
void Text(QPainter& p, const QRectF& rect, const QString& text, const QColor& color,
          const QFont& font);
// A round-capped stroke pen.
QPen Stroke(const QColor& color, qreal width);

}  // namespace skin
