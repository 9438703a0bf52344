#include <QAbstractItemView>
#include <QAction>
#include <QGridLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include "customcombobox.h"
#include "factorywindow.h"

// The factory console is a fixed frame: its tree, texts and the few window actions.
class TestFactoryWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FactoryWindow> window;

    template <typename T>
    T* child(const char* name) {
        T* object = window->findChild<T*>(QLatin1String(name));
        if (!object) {
            qWarning("missing %s", name);
        }
        return object;
    }

private slots:
    void init() { window = std::make_unique<FactoryWindow>(); }
    void cleanup() { window.reset(); }

    void windowFrame() {
        QCOMPARE(window->objectName(), QStringLiteral("FactoryWindow"));
        QCOMPARE(window->metaObject()->className(), "FactoryWindow");
        QCOMPARE(window->windowTitle(), QStringLiteral("Zentrio"));
        QCOMPARE(window->size(), QSize(959, 464));
        QVERIFY(window->menuWidget() == nullptr);
        auto* status = child<QStatusBar>("statusbar");
        QVERIFY(status);
        QCOMPARE(window->statusBar(), status);
        QCOMPARE(window->centralWidget(), child<QWidget>("centralwidget"));
    }

    void centralGrid() {
        auto* grid = child<QGridLayout>("gridLayout_9");
        QVERIFY(grid);
        QCOMPARE(window->centralWidget()->layout(), grid);
        int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(grid->indexOf(child<QTabWidget>("tabWidget")), &row, &column,
                              &rowSpan, &columnSpan);
        QCOMPARE(QPoint(row, column), QPoint(0, 0));
        grid->getItemPosition(grid->indexOf(child<QWidget>("widget")), &row, &column, &rowSpan,
                              &columnSpan);
        QCOMPARE(QPoint(row, column), QPoint(0, 1));

        auto* column1 = child<QWidget>("widget");
        QCOMPARE(column1->layout()->objectName(), QStringLiteral("verticalLayout"));
        QCOMPARE(column1->layout()->count(), 3);
        QCOMPARE(column1->layout()->itemAt(0)->widget()->objectName(),
                 QStringLiteral("widget_buttons"));
        QCOMPARE(column1->layout()->itemAt(1)->widget()->objectName(),
                 QStringLiteral("widget_status"));
        QCOMPARE(column1->layout()->itemAt(2)->widget()->objectName(),
                 QStringLiteral("widget_testresult"));
        QVERIFY(child<QWidget>("widget_status")->children().isEmpty());
        QVERIFY(child<QWidget>("widget_testresult")->children().isEmpty());
    }

    void buttonColumn_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("adapter selector") << "comboBox_item"
                                          << "CustomComboBox" << 0 << 0;
        QTest::newRow("upper connect") << "pushButton_connect_2"
                                       << "QPushButton" << 0 << 1;
        QTest::newRow("line edit") << "lineEdit"
                                   << "QLineEdit" << 3 << 0;
        QTest::newRow("lower connect") << "pushButton_connect"
                                       << "QPushButton" << 3 << 1;
    }
    void buttonColumn() {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(int, row);
        QFETCH(int, column);
        auto* grid = child<QGridLayout>("gridLayout");
        QVERIFY(grid);
        QCOMPARE(grid->parentWidget()->objectName(), QStringLiteral("widget_buttons"));
        QCOMPARE(grid->spacing(), 0);
        QCOMPARE(grid->contentsMargins(), QMargins(0, 0, 0, 0));

        auto* widget = window->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
        int r = -1, c = -1, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(grid->indexOf(widget), &r, &c, &rowSpan, &columnSpan);
        QCOMPARE(QPoint(r, c), QPoint(row, column));

        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QCOMPARE(button->text(), QStringLiteral("Connect"));
            QVERIFY(button->isCheckable());
            QVERIFY(!button->isChecked());
            QCOMPARE(button->maximumWidth(), 100);
        }
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            QVERIFY(edit->text().isEmpty());
            QVERIFY(!edit->isReadOnly());
        }
    }

    void tabs() {
        auto* tabs = child<QTabWidget>("tabWidget");
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 6);
        QCOMPARE(tabs->currentIndex(), 0);
        const QStringList names = {"tab_4", "tab_5", "tab_6", "tab_7", "tab_8", "tab_9"};
        const QStringList texts = {QStringLiteral("外观测试\nPASS"), QStringLiteral("校准"),
                                   QStringLiteral("辨识"),           QStringLiteral("标定"),
                                   QStringLiteral("入库"),           QStringLiteral("单腿")};
        for (int i = 0; i < tabs->count(); ++i) {
            QCOMPARE(tabs->widget(i)->objectName(), names[i]);
            QCOMPARE(tabs->tabText(i), texts[i]);
        }
        QCOMPARE(tabs->tabText(0).split(u'\n'),
                 QStringList({QStringLiteral("外观测试"), QStringLiteral("PASS")}));
    }

    void connectButtonsOnlyToggle_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("upper") << "pushButton_connect_2";
        QTest::newRow("lower") << "pushButton_connect";
    }
    void connectButtonsOnlyToggle() {
        QFETCH(QString, name);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* button = window->findChild<QPushButton*>(name);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(button->isChecked());
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!button->isChecked());
        QCOMPARE(button->text(), QStringLiteral("Connect"));
        QVERIFY(window->isVisible());
        QCOMPARE(child<CustomComboBox>("comboBox_item")->count(), 0);
        for (auto* other : window->findChildren<QPushButton*>()) {
            QVERIFY(!other->isChecked());
        }
    }

    void adapterSelectorOpensEmpty() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* combo = child<CustomComboBox>("comboBox_item");
        QVERIFY(combo);
        QSignalSpy opened(combo, &CustomComboBox::popupShown);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_F4);
        QCOMPARE(opened.count(), 1);  // announced, but nobody refills it here
        QCOMPARE(combo->count(), 0);
        QCOMPARE(combo->view()->model()->rowCount(), 0);
        combo->hidePopup();
    }

    void actions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<bool>("checkable");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("upgrade") << "actionUpgrade"
                                 << "Upgrade"
                                 << "Upgrade" << false << QKeySequence();
        QTest::newRow("dock log") << "actionDock_Log"
                                  << "Dock Log"
                                  << "Dock Log" << true << QKeySequence();
        QTest::newRow("full screen") << "actionFull_Screen"
                                     << "Full Screen"
                                     << "Full Screen" << false << QKeySequence();
        QTest::newRow("normal screen") << "actionNormal_Screen"
                                       << "Normal Screen"
                                       << "Normal Screen" << false << QKeySequence();
        QTest::newRow("exit") << "actionExit"
                              << "Exit"
                              << "Exit" << false << QKeySequence(QStringLiteral("Ctrl+Q"));
    }
    void actions() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);  // an action without one reports its text
        QFETCH(bool, checkable);
        QFETCH(QKeySequence, shortcut);
        auto* action = window->findChild<QAction*>(name);
        QVERIFY(action);
        QCOMPARE(action->parent(), window.get());
        QCOMPARE(action->text(), text);
        QCOMPARE(action->toolTip(), toolTip);
        QCOMPARE(action->isCheckable(), checkable);
        QCOMPARE(action->shortcut(), shortcut);
        QCOMPARE(action->menuRole(), QAction::NoRole);
        QVERIFY(action->associatedObjects().isEmpty());  // in no menu or tool bar
    }

    void actionsDriveTheWindow() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        child<QAction>("actionFull_Screen")->trigger();
        QVERIFY(window->isMaximized());
        child<QAction>("actionNormal_Screen")->trigger();
        QVERIFY(!window->isMaximized());
        child<QAction>("actionUpgrade")->trigger();
        child<QAction>("actionDock_Log")->trigger();
        QVERIFY(window->isVisible());
        child<QAction>("actionExit")->trigger();
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(TestFactoryWindow)
#include "tst_factorywindow.moc"
