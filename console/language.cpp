#include "language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

namespace {

// Set on the GUI thread at start-up, before any worker exists (tests switch between runs).
std::optional<Language> g_installed;
QTranslator* g_own = nullptr;
QTranslator* g_qt = nullptr;

void removeInstalled() {
    for (QTranslator** t : {&g_own, &g_qt}) {
        if (*t) {
            QCoreApplication::removeTranslator(*t);
            delete *t;
            *t = nullptr;
        }
    }
    g_installed.reset();
}

QString qmBaseName(Language language) {
    return language == Language::Chinese ? QStringLiteral("zentrio_zh_CN")
                                         : QStringLiteral("zentrio_en");
}

}  // namespace

std::optional<Language> languageFromCode(const QString& code) {
    const QString c = code.trimmed().toLower();
    if (c == u"en" || c.startsWith(u"en_") || c.startsWith(u"en-")) {
        return Language::English;
    }
    if (c == u"zh" || c.startsWith(u"zh_") || c.startsWith(u"zh-")) {
        return Language::Chinese;
    }
    return std::nullopt;
}

QString languageCode(Language language) {
    return language == Language::Chinese ? QStringLiteral("zh") : QStringLiteral("en");
}

QString languageNativeName(Language language) {
    return language == Language::Chinese ? QStringLiteral("中文") : QStringLiteral("English");
}

Language languageForLocale(const QLocale& locale) {
    return locale.language() == QLocale::Chinese ? Language::Chinese : Language::English;
}

Language chooseLanguage(std::optional<Language> commandLine, const QSettings& settings,
                        const QLocale& system) {
    if (commandLine) {
        return *commandLine;
    }
    if (const auto saved =
            languageFromCode(settings.value(QLatin1String(kLanguageSettingKey)).toString())) {
        return *saved;
    }
    return languageForLocale(system);
}

QStringList translationFolders(const QString& appDir) {
    const QDir dir(appDir);
    return {QDir::cleanPath(dir.filePath(QStringLiteral("../translations"))),
            QDir::cleanPath(dir.filePath(QStringLiteral("translations"))),
            QDir::cleanPath(dir.filePath(QStringLiteral("../share/zentrio/translations")))};
}

bool installTranslations(Language language, const QStringList& folders) {
    removeInstalled();
    auto* app = QCoreApplication::instance();
    auto* own = new QTranslator(app);
    bool found = false;
    for (const QString& folder : folders) {
        if (own->load(qmBaseName(language), folder)) {
            found = true;
            break;
        }
    }
    if (!found) {
        delete own;
        return false;
    }
    // Qt's own texts (standard buttons, file dialogs) in Chinese; they are English already.
    if (language == Language::Chinese) {
        auto* qt = new QTranslator(app);
        if (qt->load(QStringLiteral("qtbase_zh_CN"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(qt);
            g_qt = qt;
        } else {
            delete qt;
        }
    }
    QCoreApplication::installTranslator(own);
    g_own = own;
    // Dates and numbers in the same language, unless the system's locale speaks it already.
    if (languageForLocale(QLocale()) != language) {
        QLocale::setDefault(language == Language::Chinese
                                ? QLocale(QLocale::Chinese, QLocale::China)
                                : QLocale(QLocale::English, QLocale::UnitedStates));
    }
    g_installed = language;
    return true;
}

std::optional<Language> installedLanguage() {
    return g_installed;
}
