#pragma once

#include <QSize>
#include <QString>

class CButtonST;
class QWidget;

// A button of the updater's windows: drawn with "imgs/Btn1Bkg.png" (normal)
// and "imgs/Btn1HotBkg.png" (hot), stretched to its fixed `size`.
CButtonST* NewUpdaterButton(const QString& text, QSize size, QWidget* parent);
