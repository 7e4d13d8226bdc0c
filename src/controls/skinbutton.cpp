#include "controls/skinbutton.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include "controls/skin.h"

namespace {

constexpr int kPadding = 8;
constexpr int kGap = 4;

}  // namespace

CButtonST::CButtonST(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  setAttribute(Qt::WA_Hover);
  setCursor(Qt::PointingHandCursor);
  setFont(UiFont(12));
}

void CButtonST::SetBackground(const QString& normal, const QString& hot) {
  m_normalImage = normal;
  m_hotImage = hot;
  update();
}

void CButtonST::SetPicture(const QString& image, QSize size, IconPlacement placement) {
  m_picture = image;
  m_pictureSize = size;
  m_placement = placement;
  updateGeometry();
  update();
}

void CButtonST::SetTextColors(const QColor& normal, const QColor& hot) {
  m_textColor = normal;
  m_hotTextColor = hot;
  update();
}

bool CButtonST::IsHot() const { return m_hovered || isDown() || isChecked(); }

QSize CButtonST::sizeHint() const {
  QFontMetrics metrics(font());
  QSize textSize = text().isEmpty() ? QSize() : metrics.size(Qt::TextShowMnemonic, text());
  QSize picture = m_picture.isEmpty() ? QSize() : m_pictureSize;
  if (!m_picture.isEmpty() && picture.isEmpty()) picture = SkinPixmap(m_picture).size();
  int width = textSize.width();
  int height = textSize.height();
  if (!picture.isEmpty()) {
    if (m_placement == IconPlacement::kAbove) {
      width = qMax(width, picture.width());
      height += picture.height() + (textSize.isEmpty() ? 0 : kGap);
    } else if (m_placement == IconPlacement::kOnly) {
      width = picture.width();
      height = picture.height();
    } else {
      width += picture.width() + (textSize.isEmpty() ? 0 : kGap);
      height = qMax(height, picture.height());
    }
  }
  return QSize(qMax(width + 2 * kPadding, 60), qMax(height + kPadding, 26));
}

QSize CButtonST::minimumSizeHint() const { return QSize(24, 20); }

void CButtonST::enterEvent(QEnterEvent* event) {
  m_hovered = true;
  update();
  QPushButton::enterEvent(event);
}

void CButtonST::leaveEvent(QEvent* event) {
  m_hovered = false;
  update();
  QPushButton::leaveEvent(event);
}

void CButtonST::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!isEnabled()) painter.setOpacity(0.45);
  bool hot = IsHot();

  QPixmap background = SkinPixmap(hot ? m_hotImage : m_normalImage);
  if (hot && background.isNull()) background = SkinPixmap(m_normalImage);
  if (!background.isNull()) {
    painter.drawPixmap(rect(), background);
  } else if (m_placement != IconPlacement::kOnly || hot) {
    // The button's own look when the skin has no image for it.
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.fillPath(shape, hot ? QColor(232, 241, 252) : QColor(247, 248, 250));
    painter.setPen(hot ? QColor(61, 142, 230) : QColor(200, 204, 210));
    painter.drawPath(shape);
  }

  QRect area = rect().adjusted(kPadding / 2, 2, -kPadding / 2, -2);
  if (isDown()) area.translate(1, 1);
  QPixmap picture = SkinPixmap(m_picture);
  QSize pictureSize = m_pictureSize.isEmpty() ? picture.size() : m_pictureSize;
  QFontMetrics metrics(font());
  int textWidth = text().isEmpty() ? 0 : metrics.horizontalAdvance(text());

  QRect textRect = area;
  if (!picture.isNull()) {
    QRect target(QPoint(), pictureSize);
    if (m_placement == IconPlacement::kAbove) {
      int total = pictureSize.height() + (text().isEmpty() ? 0 : kGap + metrics.height());
      target.moveTopLeft(QPoint(area.center().x() - pictureSize.width() / 2 + 1,
                                area.center().y() - total / 2 + 1));
      textRect = QRect(area.left(), target.bottom() + kGap, area.width(), metrics.height());
    } else if (m_placement == IconPlacement::kOnly) {
      target.moveCenter(area.center());
      textRect = QRect();
    } else {
      int total = pictureSize.width() + (textWidth ? kGap + textWidth : 0);
      target.moveTopLeft(QPoint(area.center().x() - total / 2 + 1,
                                area.center().y() - pictureSize.height() / 2 + 1));
      textRect = QRect(target.right() + kGap, area.top(), textWidth + 2, area.height());
    }
    painter.drawPixmap(target, picture);
  }
  if (!textRect.isNull() && !text().isEmpty()) {
    painter.setPen(hot ? m_hotTextColor : m_textColor);
    painter.setFont(font());
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic, text());
  }
  if (hasFocus() && !background.isNull()) {
    painter.setPen(QPen(QColor(61, 142, 230, 120), 1, Qt::DotLine));
    painter.drawRoundedRect(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5), 3, 3);
  }
}
