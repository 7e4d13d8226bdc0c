#include "app/dealnotelook.h"

QColor DealNoteColor(const DealNote& note) {
  switch (note.kind) {
    case DealNote::Kind::kLow:
      return QColor(3, 169, 72);
    case DealNote::Kind::kRiseUndone:
      return QColor(235, 120, 0);
    case DealNote::Kind::kNone:
      break;
  }
  return QColor(Qt::black);
}
