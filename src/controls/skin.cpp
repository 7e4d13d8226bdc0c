#include "controls/skin.h"

#include <QFile>
#include <QHash>
#include <QStringList>

#include "base/programdir.h"
#include "base/stringtable.h"
#include "controls/qtext.h"

namespace {

// Keyed by full path, so a test that moves the program directory never sees
// another directory's images.
QHash<QString, QPixmap>& Cache() {
  static QHash<QString, QPixmap> cache;
  return cache;
}

}  // namespace

QPixmap SkinPixmap(const QString& relativeName) {
  if (relativeName.isEmpty()) return {};
  QString path = QString::fromStdString(ProgramFile(relativeName.toStdString()));
  auto found = Cache().constFind(path);
  if (found != Cache().constEnd()) return *found;
  // A missing file is remembered too: rows repaint often, and the skin does
  // not change while the program runs.
  QPixmap pixmap;
  if (QFile::exists(path)) pixmap.load(path);
  Cache().insert(path, pixmap);
  return pixmap;
}

void ClearSkinCache() { Cache().clear(); }

QFont UiFont(int pixelHeight, int weight) {
  QFont font;
  QString face = LoadQString(IDS_UI_FONT);
  QStringList families;
  if (!face.isEmpty()) families << face;
  families << QStringLiteral("WenQuanYi Micro Hei") << QStringLiteral("Noto Sans CJK SC")
           << QStringLiteral("Droid Sans Fallback") << QStringLiteral("sans-serif");
  font.setFamilies(families);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelHeight > 0 ? pixelHeight : 12);
  font.setWeight(static_cast<QFont::Weight>(qBound(1, weight, 1000)));
  return font;
}
