#include <QXmlStreamReader>
#include <QtTest>

#include "language.h"
#include "startupoptions.h"
#include "translationcheck.h"

using namespace Qt::StringLiterals;

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
        QSettings none(dir.filePath(u"none.ini"_s), QSettings::IniFormat);
        QSettings zh(dir.filePath(u"zh.ini"_s), QSettings::IniFormat);
        zh.setValue(QLatin1String(kLanguageSettingKey), u"zh"_s);
        QSettings junk(dir.filePath(u"junk.ini"_s), QSettings::IniFormat);
        junk.setValue(QLatin1String(kLanguageSettingKey), u"klingon"_s);
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
            if (xml.name() == u"message" && xml.attributes().value(u"numerus"_s) == u"yes") {
                faults << u"plural form: line "_s + QString::number(xml.lineNumber());
            } else if (xml.name() == u"source") {
                source = xml.readElementText();
            } else if (xml.name() == u"translation") {
                ++messages;
                const QString type = xml.attributes().value(u"type"_s).toString();
                const QString text =
                    plainText(xml.readElementText(QXmlStreamReader::IncludeChildElements));
                if (!type.isEmpty()) {
                    faults << type + u": "_s + source;
                } else if (text.isEmpty()) {
                    faults << u"empty: "_s + source;
                } else if (!chinese && hasCjk(text)) {
                    faults << u"not English: "_s + text;
                } else if (chinese && !untranslatedEnglish(text).isEmpty()) {
                    faults << u"not Chinese: "_s + text;
                } else if (placeholders(text) != placeholders(source)) {
                    faults << u"arguments differ: "_s + source + u" -> "_s + text;
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
        QVERIFY(!installTranslations(Language::English, {u"/nonexistent"_s}));
        QCOMPARE(installedLanguage(), std::nullopt);
        const QStringList folders{QStringLiteral(ZENTRIO_QM_DIR)};
        QVERIFY(installTranslations(Language::English, folders));
        QCOMPARE(QCoreApplication::translate("MainWindow", "电机状态"), u"Drive status"_s);
        QVERIFY(installTranslations(Language::Chinese, folders));
        QCOMPARE(installedLanguage(), Language::Chinese);
        QCOMPARE(QCoreApplication::translate("MainWindow", "电机状态"), u"电机状态"_s);
        QCOMPARE(QCoreApplication::translate("Glossary", "drive"), u"电机"_s);
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
