#pragma once
// Qt's own translations (Debian's qt6-translations-l10n): the texts of the standard dialogs
// and buttons (message boxes, file, folder, font, colour and print dialogs) in the interface's
// language.

#include <QLocale>

// Loads the translations for `locale` into the application; true when they were found (or
// none are needed, as for English). Call once the application object exists.
bool InstallQtTranslations(const QLocale& locale);
