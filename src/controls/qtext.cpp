#include "controls/qtext.h"

#include "base/codepage.h"
#include "base/stringtable.h"

QString FromLocal(const std::string& local) {
  std::string utf8 = LocalToUtf8(local);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToLocal(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  return Utf8ToLocal(std::string(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QString LoadQString(unsigned id) { return FromLocal(LoadString(id)); }
