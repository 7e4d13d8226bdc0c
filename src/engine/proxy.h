#pragma once

#include <string>

#include <curl/curl.h>

// The proxy every request of the program goes through: config.ini, section
// "Base", key "Proxy", an http://, https://, socks5:// or socks5h:// link, or
// "host:port" (taken as http://). Empty leaves the choice to the
// environment's http_proxy, https_proxy and no_proxy, as other programs do.
// A setting that is none of these stops every request: going direct would
// show the shops the address the user meant to hide.

// The setting as config.ini of the program directory holds it now; read for
// every request, so that a change in the settings window or by another
// process counts at once.
std::string ProxySetting();

// The link a setting stands for ("" for an empty one): the setting itself,
// or "http://" + a "host:port" written without a scheme. False for a setting
// that can't be used.
bool ProxyLink(const std::string& setting, std::string& link);
// True for a setting ProxyLink can use.
bool IsValidProxy(const std::string& proxy);

// Points the handle at the configured proxy, if there is one. False when the
// setting can't be used: the request must then not be sent. The first time a
// setting is found unusable the user is told (message 58651, with the
// setting), in the window or on stderr.
bool ApplyProxy(CURL* curl);
