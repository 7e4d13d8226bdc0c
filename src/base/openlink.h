#pragma once

#include <functional>
#include <string>

// Opens a web link in the user's browser. The link is local code-page text;
// the opener gets it in UTF-8. Only http:// and https:// links (any letter
// case) are opened: empty links, other schemes (file://, javascript: ...)
// and links with control characters are refused, so that a hostile page
// cannot make the program open local files or run commands.
// Returns true when the link was handed to the opener.
bool OpenLink(const std::string& localUrl);

// The same check on its own.
bool IsOpenableLink(const std::string& utf8Url);

// Replaces the opener: the windows install QDesktopServices::openUrl, tests a
// recorder. An empty function restores the default, which starts xdg-open
// with the link as its only argument (no shell) and reaps it in the
// background.
using LinkOpener = std::function<void(const std::string& utf8Url)>;
void SetLinkOpener(LinkOpener opener);
