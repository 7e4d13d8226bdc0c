#include "updater/skinning.h"

#include "controls/skinbutton.h"

CButtonST* NewUpdaterButton(const QString& text, QSize size, QWidget* parent) {
  auto* button = new CButtonST(text, parent);
  button->SetBackground("imgs/Btn1Bkg.png", "imgs/Btn1HotBkg.png");
  button->setFixedSize(size);
  return button;
}
