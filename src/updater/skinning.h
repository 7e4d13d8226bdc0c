#pragma once

#include <QSize>

class QPushButton;

// Draws a button of the updater with the skin images "imgs/Btn1Bkg.png"
// (normal) and "imgs/Btn1HotBkg.png" (hovered or pressed), stretched to
// `size`. Without the images the button keeps the style's look.
void SkinButton(QPushButton* button, QSize size);
