#include "console_support.h"
#include "kivcustomplot.h"
#include "language.h"
#include "objectdictionary.h"
#include "translationcheck.h"

using namespace consoletest;

namespace {

// Every text a widget shows or offers, one per line.
void textsOf(QWidget* w, QStringList& out) {
    for (const QString& text : widgetTexts(w))
        for (const QString& line : plainText(text).split(u'\n', Qt::SkipEmptyParts))
            out << w->objectName() + u": "_s + line;
}

// The texts of every visible window and of all its tab pages (each page shown in turn).
QStringList visibleTexts() {
    QStringList out;
    const auto visibleIn = [&out](QWidget* parent) {
        for (QWidget* w : parent->findChildren<QWidget*>()) {
            // Of Qt's own file dialog, what the console gives it: title and filters (elsewhere);
            // of the dictionary, the names (the drive's own stay in the tooltips; elsewhere).
            if (w->isVisible() && qobject_cast<QFileDialog*>(w->window()) == nullptr &&
                w->objectName() != u"treeWidget_objects"_s)
                textsOf(w, out);
        }
    };
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible()) {
            for (QTabWidget* tabs : top->findChildren<QTabWidget*>()) {
                const int current = tabs->currentIndex();
                for (int i = 0; tabs->isVisible() && i < tabs->count(); ++i) {
                    if (tabs->isTabEnabled(i))
                        tabs->setCurrentIndex(i);
                    visibleIn(tabs->widget(i));
                }
                tabs->setCurrentIndex(current);
            }
            textsOf(top, out), visibleIn(top);
        }
    }
    return out;
}

}  // namespace

// The whole console in one language: connect, enable, read every parameter, open every window and
// dialog the menus and the pages' buttons offer, disable, disconnect; every text seen on the way is
// English in English, and Chinese in Chinese (kept terms aside).
class TestConsoleTour : public WindowFixture {
    Q_OBJECT

    QStringList seen;

    // Answers any modal dialog: notes its texts, then takes the harmless way out.
    QTimer dialogs;
    void answerDialogs() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() ||
            qobject_cast<QProgressDialog*>(modal) != nullptr)
            return;
        seen << visibleTexts();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            QAbstractButton* no = box->button(QMessageBox::No);
            QAbstractButton* cancel = box->button(QMessageBox::Cancel);
            (no ? no : cancel ? cancel : box->buttons().first())->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            for (const QString& f : files ? files->nameFilters() : QStringList())
                seen << u"filter: "_s + f;
            dialog->reject();
        }
    }
    void settle() {
        QTest::qWait(300);
        seen << visibleTexts();
        closeOthers();
    }
    void closeOthers() {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != window.get() && top->isVisible())
                top->close();
    }
    // A log line not seen before in 2 s, the last one waited for.
    void waitQuiet() {
        qsizetype lines = -1;
        for (int i = 0; i < 40 && messages().size() != lines; ++i) {
            lines = messages().size();
            QTest::qWait(500);
        }
    }

private slots:
    void initTestCase() {
        startOnChain(3);
        connect(&dialogs, &QTimer::timeout, this, [this] { answerDialogs(); });
    }
    void cleanup() { closeOthers(), closeWindow(); }

    void tour_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << int(Language::English);
        QTest::newRow("Chinese") << int(Language::Chinese);
    }
    void tour() {
        QFETCH(int, language);
        const auto lang = static_cast<Language>(language);
        QVERIFY(installTranslations(lang, {QStringLiteral(ZENTRIO_QM_DIR)}));
        consoleSettings().setValue(QLatin1String(kLanguageSettingKey), languageCode(lang));
        seen.clear();
        window = std::make_unique<MainWindow>();
        window->resize(1500, 950);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        dialogs.start(50);
        settle();

        QComboBox* adapters = combo("comboBox_item");
        adapters->setCurrentIndex(adapters->findText(adapter));
        click("pushButton_connect");
        QVERIFY(waitFor([this] { return state() == Connected && window->driveIdentitiesRead(); }));
        click("pushButton_enable");
        QVERIFY(waitFor([this] { return state() == Enabled; }));
        settle();
        click("pushButton_enable");
        QVERIFY(waitFor([this] { return state() == Connected; }));
        click("pushButton_ReadAll");
        waitQuiet();
        settle();

        // The dictionary, read: the names the drives give their objects are translated too.
        action("actionObjectDictionary")->trigger();
        auto* dictionary = window->findChild<ObjectDictionary*>();
        QVERIFY(dictionary != nullptr);
        dictionary->findChild<QAbstractButton*>(u"pushButton_readDictionary"_s)->click();
        auto* progress = dictionary->findChild<QProgressBar*>();
        QVERIFY(waitFor([progress] { return progress->value() == progress->maximum(); }));
        for (const QTreeWidgetItem* item : dictionary->findChild<QTreeWidget*>()->findItems(
                 u"*"_s, Qt::MatchWildcard | Qt::MatchRecursive, 1))
            seen << u"names: "_s + item->text(1);
        QVERIFY(seen.contains(language ? u"names: 映射对象 12"_s : u"names: Mapped object 12"_s));
        settle();

        // Every menu entry but the languages (the end of the tour), then the pages' dialog buttons.
        for (QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
            for (QAction* a : menu->actions()) {
                if (!a->isSeparator() && !a->objectName().startsWith(u"actionLanguage"_s)) {
                    a->trigger();
                    settle();
                }
            }
        }
        for (const char* name :
             {"pushButton_ExportParams", "pushButton_ImportParams", "pushButton_CompareDrives",
              "pushButton_SaveFile", "pushButton_export_para", "pushButton_Upgrade"}) {
            click(name);
            settle();
        }
        click("pushButton_connect");
        QVERIFY(waitFor([this] { return state() == NotConnected; }));
        settle();
        dialogs.stop();

        // The running log names its language; the menu keeps the other one for the next start.
        const QByteArray log = fileBytes(window->runningLogFileName());
        QVERIFY(log.startsWith(MainWindow::runningLogLanguageLine().toUtf8() + '\n'));
        QVERIFY(log.left(log.indexOf('\n')).contains("(" + languageCode(lang).toLatin1() + ")"));
        const char* menu[] = {"actionLanguageEnglish", "actionLanguageChinese"};
        QVERIFY(action(menu[language])->isChecked());
        action(menu[1 - language])->trigger();
        QCOMPARE(consoleSettings().value(QLatin1String(kLanguageSettingKey)).toString(),
                 languageCode(static_cast<Language>(1 - language)));
        // The log names the next start's language in its own name, whatever the language now.
        QTRY_VERIFY(messages().last().contains(language == 0 ? u"中文"_s : u"English"_s));

        QStringList faults;
        for (const QString& text : seen) {
            const QString shown = text.section(u": "_s, 1);
            if (lang == Language::English ? hasCjk(shown) : !untranslatedEnglish(shown).isEmpty())
                faults << text;
        }
        faults.removeDuplicates();
        QVERIFY2(seen.size() > 500, qPrintable(QString::number(seen.size())));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }
};

QTEST_MAIN(TestConsoleTour)
#include "tst_console_tour.moc"
