#include "updater/skinning.h"

#include <QFileInfo>
#include <QPushButton>

#include "base/programdir.h"
#include "controls/qtext.h"

namespace {

QString SkinFile(const char* relative) {
  QString path = FromLocal(ProgramFile(relative));
  return QFileInfo::exists(path) ? path : QString();
}

}  // namespace

void SkinButton(QPushButton* button, QSize size) {
  button->setFixedSize(size);
  QString normal = SkinFile("imgs/Btn1Bkg.png");
  QString hot = SkinFile("imgs/Btn1HotBkg.png");
  if (normal.isEmpty()) return;
  if (hot.isEmpty()) hot = normal;
  button->setStyleSheet(QString("QPushButton { border: none; border-image: url(\"%1\"); }"
                                "QPushButton:hover, QPushButton:pressed { border-image: "
                                "url(\"%2\"); }")
                            .arg(normal, hot));
}
