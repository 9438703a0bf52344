#include <QXmlStreamReader>
#include <QtTest>

#include "language.h"
#include "startupoptions.h"
#include "translationcheck.h"

// The language of a run, and the translation sources behind it.
class TestLanguage : public QObject {
    Q_OBJECT

private slots:
    // Command line first, then the kept choice, then the system locale; bad values are ignored.
    void choiceOfLanguage() {
        const std::pair<QStringList, std::optional<Language>> options[] = {
            {{"zentrio"}, std::nullopt},
            {{"zentrio", "--language", "en"}, Language::English},
            {{"zentrio", "--language=zh"}, Language::Chinese},
            {{"zentrio", "--language", "zh_CN"}, Language::Chinese},
            {{"zentrio", "--language", "EN"}, Language::English},
            {{"zentrio", "--language", "de"}, std::nullopt},
            {{"zentrio", "--language", "english"}, std::nullopt},
            {{"zentrio", "--simulate", "2", "--language", "zh"}, Language::Chinese}};
        for (const auto& [args, language] : options)
            QVERIFY2(parseStartupOptions(args).language == language, qPrintable(args.join(u' ')));

        QTemporaryDir dir;
        QSettings none(dir.filePath(QStringLiteral("none.ini")), QSettings::IniFormat);
        QSettings zh(dir.filePath(QStringLiteral("zh.ini")), QSettings::IniFormat);
        zh.setValue(QLatin1String(kLanguageSettingKey), QStringLiteral("zh"));
        QSettings junk(dir.filePath(QStringLiteral("junk.ini")), QSettings::IniFormat);
        junk.setValue(QLatin1String(kLanguageSettingKey), QStringLiteral("klingon"));
        using enum Language;
        const std::tuple<std::optional<Language>, QSettings*, const char*, Language> choices[] = {
            {std::nullopt, &none, "zh_CN", Chinese}, {std::nullopt, &none, "zh_TW", Chinese},
            {std::nullopt, &none, "de_DE", English}, {std::nullopt, &zh, "de_DE", Chinese},
            {std::nullopt, &junk, "zh_CN", Chinese}, {English, &zh, "zh_CN", English}};
        for (const auto& [given, kept, locale, expected] : choices) {
            QCOMPARE(chooseLanguage(given, *kept, QLocale(QLatin1String(locale))), expected);
            QCOMPARE(languageFromCode(languageCode(expected)), expected);
        }
    }

    // Each .ts has every entry finished, and each translation is in its own language.
    void translationSourcesAreComplete_data() {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("zentrio_en.ts") << false;
        QTest::newRow("zentrio_zh_CN.ts") << true;
    }
    void translationSourcesAreComplete() {
        QFETCH(bool, chinese);
        QFile ts(QStringLiteral(ZENTRIO_TS_DIR "/") + QTest::currentDataTag());
        QVERIFY(ts.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&ts);
        QStringList faults;
        int messages = 0;
        QString source;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"message" &&
                xml.attributes().value(QStringLiteral("numerus")) == u"yes") {
                faults << QStringLiteral("plural form: line ") + QString::number(xml.lineNumber());
            } else if (xml.name() == u"source") {
                source = xml.readElementText();
            } else if (xml.name() == u"translation") {
                ++messages;
                const QString type = xml.attributes().value(QStringLiteral("type")).toString();
                const QString text =
                    plainText(xml.readElementText(QXmlStreamReader::IncludeChildElements));
                if (!type.isEmpty()) {
                    faults << type + QStringLiteral(": ") + source;
                } else if (text.isEmpty()) {
                    faults << QStringLiteral("empty: ") + source;
                } else if (!chinese && hasCjk(text)) {
                    faults << QStringLiteral("not English: ") + text;
                } else if (chinese && !untranslatedEnglish(text).isEmpty()) {
                    faults << QStringLiteral("not Chinese: ") + text;
                } else if (placeholders(text) != placeholders(source)) {
                    faults << QStringLiteral("arguments differ: ") + source +
                                  QStringLiteral(" -> ") + text;
                }
            }
        }
        QVERIFY2(!xml.hasError(),
                 qPrintable(xml.errorString() + u' ' + QString::number(xml.lineNumber())));
        QVERIFY2(messages > 300, qPrintable(QString::number(messages)));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }

    // The compiled files are where a build's console looks, and they speak.
    void compiledTranslationsLoad() {
        QVERIFY(!installTranslations(Language::English, {QStringLiteral("/nonexistent")}));
        QCOMPARE(installedLanguage(), std::nullopt);
        const QStringList folders{QStringLiteral(ZENTRIO_QM_DIR)};
        QVERIFY(installTranslations(Language::English, folders));
        QCOMPARE(QCoreApplication::translate("MainWindow", "电机状态"),
                 QStringLiteral("Drive status"));
        QVERIFY(installTranslations(Language::Chinese, folders));
        QCOMPARE(installedLanguage(), Language::Chinese);
        QCOMPARE(QCoreApplication::translate("MainWindow", "电机状态"), QStringLiteral("电机状态"));
        QCOMPARE(QCoreApplication::translate("Glossary", "drive"), QStringLiteral("电机"));
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
