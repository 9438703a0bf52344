#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "console_support.h"
#include "mainwindow.h"

using consoletest::paneMessages;

namespace {

const QString kFailed = QStringLiteral("Failed to start the updater.");
// Starting a detached process and the 500 ms pause stay far below this.
constexpr int kUpdaterTimeoutMs = 10000;

QString updaterPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(kUpdaterProgram));
}

}  // namespace

// The update check hands over to the updater beside the executable: silently at start, with its
// window from Help -> Upgrade, and one log line when there is nothing to start.
class TestMainWindowUpdate : public QObject {
    Q_OBJECT

private:
    QTemporaryDir settingsDir;
    QTemporaryDir record;  // where the stand-in updater writes what it was given
    std::unique_ptr<MainWindow> window;

    // A stand-in updater that writes its arguments, one per line, to args-<show|hide>.
    bool installStandIn() {
        QFile script(updaterPath());
        if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return false;
        }
        script.write(
            "#!/bin/sh\n"
            // Other test programs of this directory may start it too; only this one records.
            "[ -n \"$ZENTRIO_TEST_UPDATER_RECORD\" ] || exit 0\n"
            "out=\"$ZENTRIO_TEST_UPDATER_RECORD/args-$6\"\n"
            "printf '%s\\n' \"$@\" > \"$out.part\" && mv \"$out.part\" \"$out\"\n");
        script.close();
        return script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                     QFile::ReadGroup | QFile::ExeGroup);
    }

    QStringList recorded(const QString& mode) const {
        QFile file(record.filePath(QStringLiteral("args-") + mode));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        lines.removeLast();
        return lines;
    }

    static QStringList expectedArguments(const QString& mode) {
        return {QString::number(QCoreApplication::applicationPid()),
                QStringLiteral("http://" ZENTRIO_UPDATE_HOST ":443/Zentrio/updates.json"),
                QStringLiteral("Zentrio"),
                QStringLiteral("0.0.9"),
                u'"' + QDir(QCoreApplication::applicationDirPath()).absolutePath() + u'"',
                mode};
    }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        QVERIFY(record.isValid());
        consoletest::sandboxSettings(settingsDir);
        qputenv("ZENTRIO_TEST_UPDATER_RECORD", record.path().toLocal8Bit());
        QVERIFY2(!QFileInfo::exists(updaterPath()), "an updater is already beside the test");
    }
    void cleanup() {
        window.reset();
        QFile::remove(updaterPath());
        for (const QString& mode : {QStringLiteral("hide"), QStringLiteral("show")}) {
            QFile::remove(record.filePath(QStringLiteral("args-") + mode));
        }
    }

    void missingUpdaterIsLoggedAfterHalfASecond() {
        QElapsedTimer sinceStart;
        sinceStart.start();
        window = std::make_unique<MainWindow>();
        QTRY_VERIFY_WITH_TIMEOUT(paneMessages(*window).contains(kFailed), kUpdaterTimeoutMs);
        QVERIFY(sinceStart.elapsed() >= 500);
        QCOMPARE(paneMessages(*window).count(kFailed), 1);

        // The menu's check fails the same way, at once.
        window->findChild<QAction*>(QStringLiteral("actionUpgrade"))->trigger();
        QTRY_COMPARE(paneMessages(*window).count(kFailed), 2);
    }

    void standInReceivesTheCommandLine() {
        QVERIFY(installStandIn());
        window = std::make_unique<MainWindow>();
        QTRY_COMPARE_WITH_TIMEOUT(recorded(QStringLiteral("hide")),
                                  expectedArguments(QStringLiteral("hide")), kUpdaterTimeoutMs);
        QVERIFY(recorded(QStringLiteral("show")).isEmpty());

        window->findChild<QAction*>(QStringLiteral("actionUpgrade"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(recorded(QStringLiteral("show")),
                                  expectedArguments(QStringLiteral("show")), kUpdaterTimeoutMs);
        QVERIFY(!paneMessages(*window).contains(kFailed));
    }

    // A window closed before its start-up check runs is left alone by the check.
    void windowGoneBeforeTheCheck() {
        QVERIFY(installStandIn());
        window = std::make_unique<MainWindow>();
        window.reset();
        QTest::qWait(800);
        QVERIFY(recorded(QStringLiteral("hide")).isEmpty());
    }
};

QTEST_MAIN(TestMainWindowUpdate)
#include "tst_mainwindow_update.moc"
