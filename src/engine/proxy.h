#pragma once

#include <string>

#include <curl/curl.h>

// The proxy every request of the program goes through: config.ini, section
// "Base", key "Proxy", an http://, https://, socks5:// or socks5h:// link.
// Empty (or not a proxy link) leaves the choice to the environment's
// http_proxy, https_proxy and no_proxy, as other programs do.

// The setting as config.ini of the program directory holds it now; read for
// every request, so that a change in the settings window or by another
// process counts at once.
std::string ProxySetting();

// True for "" and for a link of a proxy scheme with a host.
bool IsValidProxy(const std::string& proxy);

// Points the handle at the configured proxy, if there is one.
void ApplyProxy(CURL* curl);
