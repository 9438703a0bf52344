// The Language menu, and the language the running log is written in.
#include <QActionGroup>
#include <QSettings>

#include "language.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::setupLanguageMenu() {
    auto* choices = new QActionGroup(this);
    choices->addAction(ui->actionLanguageEnglish);
    choices->addAction(ui->actionLanguageChinese);
    // The language the next start will take, which is this run's unless the command line chose.
    const QSettings settings{QLatin1String(kSettingsOrganisation),
                             QLatin1String(kSettingsApplication)};
    const Language next = chooseLanguage(std::nullopt, settings, QLocale::system());
    (next == Language::Chinese ? ui->actionLanguageChinese : ui->actionLanguageEnglish)
        ->setChecked(true);
}

void MainWindow::on_actionLanguageEnglish_triggered() {
    keepLanguage(Language::English);
}

void MainWindow::on_actionLanguageChinese_triggered() {
    keepLanguage(Language::Chinese);
}

void MainWindow::keepLanguage(Language language) {
    QSettings settings{QLatin1String(kSettingsOrganisation), QLatin1String(kSettingsApplication)};
    settings.setValue(QLatin1String(kLanguageSettingKey), languageCode(language));
    emit writeLog(tr("Language at the next start: %1.").arg(languageNativeName(language)));
}

QString MainWindow::runningLogLanguageLine() {
    const std::optional<Language> language = installedLanguage();
    return language ? tr("Log language: %1 (%2)")
                          .arg(languageNativeName(*language), languageCode(*language))
                    : tr("Log language: none chosen, texts as written in the program");
}
