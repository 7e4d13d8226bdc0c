#pragma once

#include <QFont>
#include <QPixmap>
#include <QString>

// A skin image of the program directory ("imgs/Btn1Bkg.png"; "\" works too),
// loaded once and kept. A missing or unreadable file gives a null pixmap, and
// every control draws nothing in its place. GUI thread only.
QPixmap SkinPixmap(const QString& relativeName);

// Forgets every loaded image, so that files written since are read again.
void ClearSkinCache();

// The windows' font: face "宋体" (string 57709) where installed, else the
// Chinese faces a Linux desktop has ("WenQuanYi Micro Hei" ...), else the
// default sans. Height in pixels.
QFont UiFont(int pixelHeight, int weight = 400);
