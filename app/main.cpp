#include <QApplication>
#include <QSettings>
#include <QtDebug>

#include "mainwindow.h"
#include "simulatedbus.h"
#include "startupoptions.h"
#include "windowchoice.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    // Before the window, whose adapter list is filled at construction.
    const StartupOptions options = parseStartupOptions(QCoreApplication::arguments());

    // Before any window or text exists.
    const QSettings settings{QLatin1String(kSettingsOrganisation),
                             QLatin1String(kSettingsApplication)};
    const Language language = chooseLanguage(options.language, settings, QLocale::system());
    if (!installTranslations(language,
                             translationFolders(QCoreApplication::applicationDirPath()))) {
        qWarning().noquote() << "No translation found for" << languageCode(language)
                             << "- showing the texts as written.";
    }

    const auto simulatedChain = startSimulatedBus(options);

    const std::unique_ptr<QMainWindow> window =
        createMainWindow(QCoreApplication::applicationDirPath());
    window->show();
    return app.exec();
}
