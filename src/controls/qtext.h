#pragma once

#include <string>

#include <QString>

// The one pair of conversions between the program's local code page texts
// and Qt's strings; every window goes through these, never fromLocal8Bit.
QString FromLocal(const std::string& local);
std::string ToLocal(const QString& text);

// Shorthand for string-table texts on screen.
QString LoadQString(unsigned id);
