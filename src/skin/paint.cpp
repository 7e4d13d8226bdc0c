#include "skin/paint.h"

#include <QBuffer>
#include <QLinearGradient>

namespace skin {

namespace {

std::string Encode(const QImage& image, const char* format, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, format, quality)) return "";
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

QImage Canvas(int width, int height, const QColor& fill) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(fill);
  return image;
}

std::string Png(const QImage& image) {
  return Encode(image.convertToFormat(QImage::Format_ARGB32), "PNG", -1);
}

std::string Jpeg(const QImage& image, int quality) {
  return Encode(image.convertToFormat(QImage::Format_RGB32), "JPG", quality);
}

QFont UiFont(int pixelSize, bool bold) {
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

Painter::Painter(QImage* image) : QPainter(image) {
  setRenderHint(QPainter::Antialiasing);
  setRenderHint(QPainter::TextAntialiasing);
  setRenderHint(QPainter::SmoothPixmapTransform);
}

void Disc(QPainter& p, const QRectF& rect, const QColor& color) {
  QLinearGradient shade(rect.topLeft(), rect.bottomLeft());
  shade.setColorAt(0, color.lighter(112));
  shade.setColorAt(1, color.darker(106));
  p.setPen(Qt::NoPen);
  p.setBrush(shade);
  p.drawEllipse(rect);
}

void Rounded(QPainter& p, const QRectF& rect, qreal radius, const QColor& top,
             const QColor& bottom) {
  QLinearGradient shade(rect.topLeft(), rect.bottomLeft());
  shade.setColorAt(0, top);
  shade.setColorAt(1, bottom);
  p.setPen(Qt::NoPen);
  p.setBrush(shade);
  p.drawRoundedRect(rect, radius, radius);
}

void Text(QPainter& p, const QRectF& rect, const QString& text, const QColor& color,
          const QFont& font) {
  p.setFont(font);
  p.setPen(color);
  p.drawText(rect, Qt::AlignCenter, text);
}

QPen Stroke(const QColor& color, qreal width) {
  return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

}  // namespace skin
