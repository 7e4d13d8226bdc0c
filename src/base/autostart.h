#pragma once

#include <string>
#include <vector>

// Starting the program at log-on, through the desktop's XDG autostart file
// $XDG_CONFIG_HOME/autostart/Vantrel.desktop (~/.config/autostart when the
// variable is unset or not absolute). The file starts the running program's
// full path with the argument "hidewnd", so that only the tray icon shows.

// The autostart file's full name; empty when neither XDG_CONFIG_HOME nor HOME
// gives a folder.
std::string AutoStartFilePath();

// The full path of the running program (what the autostart file starts).
std::string RunningProgramPath();

// The Exec value written for a program: the path quoted by the desktop-entry
// rules, then " hidewnd", escaped as a desktop-file string.
std::string AutoStartExec(const std::string& programPath);
// The arguments of an Exec value as the desktop reads them (escapes, quotes
// and "%%" undone).
std::vector<std::string> ParseExec(const std::string& execValue);

// True when the autostart file exists, is not marked Hidden, and its Exec
// line contains the running program's full path.
bool IsAutoStartEnabled();

// Switches autostart on or off and returns the message to show:
// IDS_AUTOSTART_ON_OK / IDS_AUTOSTART_ON_FAILED (57666 / 57667) or
// IDS_AUTOSTART_OFF_OK / IDS_AUTOSTART_OFF_FAILED (57668 / 57669); 0 when
// the autostart folder cannot be used. "On" first shows the notice 57693
// through ShowMessage (kind 1). "Off" with no file there is a success.
unsigned SetAutoStart(bool on);

// The autostart offer, blocking: when autostart is off, asks 57715 (kind 2)
// and on IDYES switches it on without showing the result. The window runs it
// on a worker thread once it has finished initialising.
void OfferAutoStart();
