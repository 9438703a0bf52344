#include "startupoptions.h"

#include <QCommandLineParser>
#include <QtDebug>

namespace {

bool isSimulateSwitch(const QString& arg) {
    return arg == QLatin1String("--simulate") || arg == QLatin1String("-simulate");
}

// The parser only knows options that always take a value; give a bare "--simulate" the
// default count so "--simulate" and "--simulate 4" both parse.
QStringList withDefaultDriveCount(const QStringList& args) {
    QStringList out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        out << args[i];
        if (i > 0 && isSimulateSwitch(args[i])) {
            const bool hasValue = i + 1 < args.size() && !args[i + 1].startsWith(u'-');
            if (!hasValue) {
                out << QString::number(kDefaultSimulatedDrives);
            }
        }
    }
    return out;
}

}  // namespace

StartupOptions parseStartupOptions(const QStringList& args) {
    QCommandLineParser parser;
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Run against simulated drives."),
                                      QStringLiteral("drives"));
    parser.addOption(simulate);
    const QCommandLineOption language(QStringLiteral("language"),
                                      QStringLiteral("Language of this run: en or zh."),
                                      QStringLiteral("en|zh"));
    parser.addOption(language);

    if (!parser.parse(withDefaultDriveCount(args))) {
        qWarning().noquote() << "Ignoring command line:" << parser.errorText();
    }

    StartupOptions options;
    if (parser.isSet(simulate)) {
        bool ok = false;
        const int drives = parser.value(simulate).toInt(&ok);
        if (ok && drives > 0) {
            options.simulate = true;
            options.simulatedDrives = drives;
        } else {
            qWarning().noquote() << "Ignoring --simulate: bad drive count"
                                 << parser.value(simulate);
        }
    }
    if (parser.isSet(language)) {
        options.language = languageFromCode(parser.value(language));
        if (!options.language) {
            qWarning().noquote() << "Ignoring --language: expected en or zh, got"
                                 << parser.value(language);
        }
    }
    return options;
}
