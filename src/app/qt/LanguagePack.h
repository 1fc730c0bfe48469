// Loads the language pack chosen from the user's UI language: a Qt resource file next to the
// executable whose strings replace the built-in English ones.
#pragma once

#include <QString>

namespace sondrel {

// Returns the pack file that was loaded, or an empty string when English stays in use (no
// pack for the language, or the file is missing or unreadable: silently, as intended).
QString LoadLanguageResources(const QString& executableDir, const QString& locale);

}  // namespace sondrel
