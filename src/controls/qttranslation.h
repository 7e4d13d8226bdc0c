#pragma once

// Qt's own texts (the buttons and captions of its standard dialogs, the
// file dialogs' "Look in" and "Save") in Chinese, whatever the desktop's
// language, from the translation Debian's qt6-translations-l10n installs
// beside Qt. Call once the application object exists. False when the
// translation is not there: Qt's texts then stay in English.
bool InstallQtChineseTranslation();
