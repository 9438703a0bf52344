#pragma once

#include <optional>

#include <QLocale>
#include <QString>
#include <QStringList>

class QSettings;

// The language the console speaks. The texts in the code are the product's own, in two languages;
// each translation turns every one of them into one language.
enum class Language { English, Chinese };

inline constexpr char kLanguageSettingKey[] = "language";

// "en" or "zh" (a region such as "zh_CN" is accepted); nothing for anything else.
std::optional<Language> languageFromCode(const QString& code);
QString languageCode(Language language);
// The language's own name, as the Language menu shows it: "English", "中文".
QString languageNativeName(Language language);
// Chinese for a Chinese locale, English for every other.
Language languageForLocale(const QLocale& locale);

// The language of this run: the command line's, else the one kept in the settings, else the
// system locale's.
Language chooseLanguage(std::optional<Language> commandLine, const QSettings& settings,
                        const QLocale& system);

// Where the console's compiled translations are looked for: beside a build's program
// (<build>/translations) and in an installed tree (<prefix>/share/zentrio/translations).
QStringList translationFolders(const QString& appDir);

// Loads the console's translation for `language` from the first folder holding it, and Qt's own
// (standard dialogs, buttons), and installs both in the application. Returns false, installing
// nothing of the console's, when no folder holds it; the texts then show as written in the code.
bool installTranslations(Language language, const QStringList& folders);

// The language installed last by installTranslations, if any. Installing again replaces it.
std::optional<Language> installedLanguage();
