#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <sys/resource.h>

#include <csignal>

#include "console_support.h"
#include "mainwindow.h"

using consoletest::linePrefix;
using consoletest::logPane;
using consoletest::ModalAnswerer;

namespace {

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();  // after the final line feed
    }
    return lines;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct BoxSeen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
};

}  // namespace

// The log pane and the running log file: line format, depth, clear, save and its failures.
class TestMainWindowLog : public QObject {
    Q_OBJECT

private:
    QTemporaryDir settingsDir;
    QTemporaryDir work;
    QString resultDir;
    bool resultDirExisted = false;
    std::unique_ptr<MainWindow> window;

    void log(const QString& message) { emit window->writeLog(message); }

    // Answers the save dialog with `target` (empty: cancel) and records the message box after.
    void save(ModalAnswerer& answerer, const QString& target, BoxSeen* box) {
        answerer.then([target](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            if (target.isEmpty()) {
                dialog->reject();
            } else {
                // Typed as the operator would; selectFile() races the dialog's directory scan.
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                name->setText(target);
                static_cast<QDialog*>(dialog)->accept();  // runs the dialog's own checks
            }
        });
        if (box) {
            answerer.then([box](QWidget* modal) {
                auto* message = qobject_cast<QMessageBox*>(modal);
                QVERIFY(message);
                box->title = message->windowTitle();
                box->text = message->text();
                box->icon = message->icon();
                box->buttons = static_cast<int>(message->buttons().size());
                message->button(QMessageBox::Ok)->click();
            });
        }
        window->findChild<QAbstractButton*>(QStringLiteral("pushButton_SaveFile"))->click();
    }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        QVERIFY(work.isValid());
        consoletest::sandboxSettings(settingsDir);
        resultDir = QCoreApplication::applicationDirPath() + QStringLiteral("/result");
        resultDirExisted = QFileInfo::exists(resultDir);
    }
    void cleanupTestCase() {
        if (!resultDirExisted) {
            QDir(resultDir).removeRecursively();
        }
    }
    void init() { window = std::make_unique<MainWindow>(); }
    void cleanup() { window.reset(); }

    void startUpLinesReachPaneAndFile_data() {
        QTest::addColumn<bool>("withDefinitions");
        QTest::addColumn<QString>("line");
        QTest::newRow("definitions present")
            << true << QStringLiteral(">>> File \"state_config.yaml\" Load OK");
        QTest::newRow("definitions missing")
            << false << QStringLiteral(">>> File \"state_config.yaml\" Load FAIL!");
    }
    void startUpLinesReachPaneAndFile() {
        QFETCH(bool, withDefinitions);
        QFETCH(QString, line);
        window.reset();
        QTemporaryDir cwd;
        QVERIFY(cwd.isValid());
        if (withDefinitions) {
            QVERIFY(QFile::copy(QStringLiteral(ZENTRIO_SOURCE_DIR "/state_config.yaml"),
                                cwd.filePath(QStringLiteral("state_config.yaml"))));
        }
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd.path()));
        window = std::make_unique<MainWindow>();
        QDir::setCurrent(before);

        QTRY_VERIFY(consoletest::paneMessages(*window).contains(line));
        const QStringList lines = fileLines(window->runningLogFileName());
        QVERIFY(std::any_of(lines.begin(), lines.end(), [&](const QString& l) {
            return l.endsWith(QStringLiteral(": ") + line);
        }));
        QVERIFY(QFileInfo(resultDir).isDir());
    }

    void lineFormat_data() {
        QTest::addColumn<QString>("message");
        QTest::newRow("ascii") << QStringLiteral("Connect Success.");
        QTest::newRow("chinese") << QStringLiteral("当前处于未连接，请进入已连接状态");
        QTest::newRow("procedure step") << QStringLiteral(">>> step 1");
        QTest::newRow("empty") << QString();
        QTest::newRow("trailing blank") << QStringLiteral("command: 1.5 ");
    }
    void lineFormat() {
        QFETCH(QString, message);
        log(message);
        QPlainTextEdit* pane = logPane(*window);
        QTRY_VERIFY(pane->toPlainText().endsWith(u' ' + message) ||
                    (message.isEmpty() && pane->toPlainText().endsWith(QStringLiteral(": "))));
        const QString last = pane->document()->lastBlock().text();
        const auto prefix = linePrefix().match(last);
        QVERIFY2(prefix.hasMatch(), qPrintable(last));
        QCOMPARE(prefix.capturedLength(), 10);
        QCOMPARE(last.mid(10), message);
        const QTime stamp = QTime::fromString(last.left(8), QStringLiteral("hh:mm:ss"));
        QVERIFY(stamp.isValid());

        // The same line, UTF-8 and line-feed ended, in the running log.
        const QByteArray bytes = fileBytes(window->runningLogFileName());
        QVERIFY(bytes.endsWith((last + u'\n').toUtf8()));
    }

    void paneKeepsLast1000FileKeepsAll() {
        constexpr int kLines = 1500;
        for (int i = 0; i < kLines; ++i) {
            log(QStringLiteral("line %1").arg(i));
        }
        QPlainTextEdit* pane = logPane(*window);
        QTRY_VERIFY(pane->toPlainText().endsWith(QStringLiteral("line 1499")));
        QCOMPARE(pane->document()->blockCount(), kLogPaneMaxLines);

        const QStringList file = fileLines(window->runningLogFileName());
        QVERIFY(file.size() >= kLines);
        const QStringList paneLines = pane->toPlainText().split(u'\n');
        QCOMPARE(paneLines, file.mid(file.size() - kLogPaneMaxLines));
        int next = 0;
        for (const QString& line : file) {
            if (line.mid(10) == QStringLiteral("line %1").arg(next)) {
                ++next;
            }
        }
        QCOMPARE(next, kLines);  // every line, in order
    }

    void clearThenSaveKeepsEverything() {
        log(QStringLiteral("before clear"));
        QTRY_VERIFY(logPane(*window)->toPlainText().endsWith(QStringLiteral("before clear")));
        window->findChild<QAbstractButton*>(QStringLiteral("pushButtonClear"))->click();
        QVERIFY(logPane(*window)->toPlainText().isEmpty());

        ModalAnswerer answerer;
        BoxSeen box;
        const QString target = work.filePath(QStringLiteral("after-clear.txt"));
        save(answerer, target, &box);
        QVERIFY(answerer.allAnswered());
        QCOMPARE(box.title, QStringLiteral("保存成功"));
        QCOMPARE(box.text, QStringLiteral("日志已成功保存."));
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.buttons, 1);
        QCOMPARE(fileBytes(target), fileBytes(window->runningLogFileName()));
        QVERIFY(fileLines(target).last().endsWith(QStringLiteral(": before clear")));
    }

    void saveTwiceThenAppend() {
        log(QStringLiteral("first"));
        QTRY_VERIFY(logPane(*window)->toPlainText().endsWith(QStringLiteral("first")));
        ModalAnswerer answerer;
        BoxSeen box;
        const QString one = work.filePath(QStringLiteral("one.txt"));
        const QString two = work.filePath(QStringLiteral("two.txt"));
        save(answerer, one, &box);
        save(answerer, two, &box);
        QVERIFY(answerer.allAnswered());
        // The start-up update check may log its line between the two saves.
        const auto withoutUpdater = [](QByteArray bytes) {
            QList<QByteArray> lines = bytes.split('\n');
            lines.removeIf(
                [](const QByteArray& l) { return l.contains("Failed to start the updater."); });
            return lines.join('\n');
        };
        QCOMPARE(withoutUpdater(fileBytes(one)), withoutUpdater(fileBytes(two)));

        log(QStringLiteral("after saving"));
        QTRY_VERIFY(logPane(*window)->toPlainText().endsWith(QStringLiteral("after saving")));
        const QByteArray running = fileBytes(window->runningLogFileName());
        QVERIFY(running.startsWith(fileBytes(one)));
        QVERIFY(running.endsWith(QByteArrayLiteral(": after saving\n")));
    }

    void saveDialogOffersDatedName() {
        ModalAnswerer answerer;
        QString caption, name;
        QStringList filters;
        answerer.then([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            caption = dialog->windowTitle();
            filters = dialog->nameFilters();
            name = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            dialog->reject();
        });
        window->findChild<QAbstractButton*>(QStringLiteral("pushButton_SaveFile"))->click();
        QVERIFY(answerer.allAnswered());
        QCOMPARE(caption, QStringLiteral("保存日志文件"));
        QCOMPARE(filters, QStringList({"Text Files (*.txt)", "All Files (*)"}));
        QVERIFY2(
            QRegularExpression(QStringLiteral("^LOG_\\d{8}_\\d{4}\\.txt$")).match(name).hasMatch(),
            qPrintable(name));
    }

    void cancelWritesNothing() {
        ModalAnswerer answerer;
        save(answerer, QString(), nullptr);
        QVERIFY(answerer.allAnswered());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(QDir(work.path()).entryList({QStringLiteral("LOG_*")}, QDir::Files).isEmpty());
    }

    // A target that cannot be opened, and one on a disk that fills up: both reported, neither
    // announced as saved.
    void targetCannotBeWritten_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<QString>("text");
        QTest::newRow("no such directory")
            << work.filePath(QStringLiteral("no/such/dir/log.txt")) << false
            << QStringLiteral("无法保存日志文件到指定路径.");
        QTest::newRow("disk full") << work.filePath(QStringLiteral("full.txt")) << true
                                   << QStringLiteral("日志文件写入失败.");
    }
    void targetCannotBeWritten() {
        QFETCH(QString, target);
        QFETCH(bool, diskFull);
        QFETCH(QString, text);
        // A full disk, as the process sees it: no file grows past 8 bytes.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto restore = qScopeGuard([&saved] { setrlimit(RLIMIT_FSIZE, &saved); });
        if (diskFull) {
            // Lines in the running log first; the save has them to write.
            log(QStringLiteral("before the disk fills"));
            QTRY_VERIFY(fileBytes(window->runningLogFileName()).contains("before the disk fills"));
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit tiny = saved;
            tiny.rlim_cur = 8;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        }
        ModalAnswerer answerer;
        BoxSeen box;
        save(answerer, target, &box);
        QVERIFY(answerer.allAnswered());
        QCOMPARE(box.title, QStringLiteral("保存失败"));
        QCOMPARE(box.text, text);
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.buttons, 1);
    }

    void runningLogUnavailable() {
        // A temporary "directory" that is a plain file: the running log cannot be created there,
        // whatever the rights of the user running the test.
        window.reset();
        const QString notADir = work.filePath(QStringLiteral("not-a-directory"));
        {
            QFile file(notADir);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", notADir.toLocal8Bit());
        window = std::make_unique<MainWindow>();
        if (tmp.isNull()) {
            qunsetenv("TMPDIR");
        } else {
            qputenv("TMPDIR", tmp);
        }
        QVERIFY(window->runningLogFileName().isEmpty());

        log(QStringLiteral("pane only"));
        QTRY_VERIFY(logPane(*window)->toPlainText().endsWith(QStringLiteral("pane only")));

        ModalAnswerer answerer;
        BoxSeen box;
        const QString target = work.filePath(QStringLiteral("no-running-log.txt"));
        save(answerer, target, &box);
        QVERIFY(answerer.allAnswered());
        QCOMPARE(box.title, QStringLiteral("保存失败"));
        QCOMPARE(box.text, QStringLiteral("无法读取临时日志文件."));
        QCOMPARE(box.icon, QMessageBox::Warning);
        QVERIFY(QFileInfo::exists(target));
        QCOMPARE(QFileInfo(target).size(), 0);
    }

    void runningLogRemovedWithWindow() {
        const QString name = window->runningLogFileName();
        QVERIFY(!name.isEmpty());
        QVERIFY(QFileInfo::exists(name));
        window.reset();
        QVERIFY(!QFileInfo::exists(name));
    }
};

QTEST_MAIN(TestMainWindowLog)
#include "tst_mainwindow_log.moc"
