#pragma once

#include <QColor>
#include <QPushButton>
#include <QSize>
#include <QString>

// A button drawn from skin images: a normal and a hot background (stretched
// to the button), an optional picture, and its text. Hot means hovered,
// pressed or checked, so a checkable button serves as a tab. Without images
// it draws a flat rounded button of its own, so a missing file never leaves
// an invisible control.
class CButtonST : public QPushButton {
  Q_OBJECT

 public:
  // Where the picture sits relative to the text.
  enum class IconPlacement { kLeft, kAbove, kOnly };

  explicit CButtonST(const QString& text = {}, QWidget* parent = nullptr);

  // Relative names of skin images ("imgs/Btn1Bkg.png"); empty for none.
  void SetBackground(const QString& normal, const QString& hot);
  // The picture, drawn at `size` (its own size when empty).
  void SetPicture(const QString& image, QSize size = {},
                  IconPlacement placement = IconPlacement::kLeft);
  void SetTextColors(const QColor& normal, const QColor& hot);

  bool IsHot() const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QString m_normalImage;
  QString m_hotImage;
  QString m_picture;
  QSize m_pictureSize;
  IconPlacement m_placement = IconPlacement::kLeft;
  QColor m_textColor{48, 48, 48};
  QColor m_hotTextColor{48, 48, 48};
  bool m_hovered = false;
};
