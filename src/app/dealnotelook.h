#pragma once

#include <QColor>

#include "engine/dealnote.h"

// The colour a deal verdict is drawn in beside a change: green for a low,
// orange for a drop that only undoes a rise.
QColor DealNoteColor(const DealNote& note);
