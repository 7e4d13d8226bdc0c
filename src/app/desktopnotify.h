#pragma once

#include <string>

// Shows a notification through the desktop's freedesktop notification
// service on the session bus. "" when it was shown, else why not (no
// session bus, no service, an error reply), in Chinese as the settings
// window shows it (UTF-8). Safe to call from any thread;
// waits for the service's answer at most a few seconds.
std::string ShowDesktopNotification(const std::string& utf8Title, const std::string& utf8Body);
