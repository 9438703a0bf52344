#include <QAbstractButton>
#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include "codeeditor.h"
#include "console_support.h"
#include "kivcustomplot.h"
#include "mainwindow.h"

// The operator console's widget tree as the operator and the handlers know it: names, classes,
// parents, texts, ranges and flags; the window's frame, actions and resize reaction.
class TestMainWindowLayout : public QObject {
    Q_OBJECT

private:
    QTemporaryDir settingsDir;
    std::unique_ptr<MainWindow> window;

    static QString textOf(QObject* object) {
        if (auto* button = qobject_cast<QAbstractButton*>(object))
            return button->text();
        if (auto* label = qobject_cast<QLabel*>(object))
            return label->text();
        if (auto* group = qobject_cast<QGroupBox*>(object))
            return group->title();
        if (auto* edit = qobject_cast<QLineEdit*>(object))
            return edit->text();
        if (auto* action = qobject_cast<QAction*>(object))
            return action->text();
        return QString();
    }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        consoletest::sandboxSettings(settingsDir);
        window = std::make_unique<MainWindow>();
    }
    void cleanupTestCase() { window.reset(); }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("range");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QStringList>("flags");
        const auto row = [](const char* name, const char* cls, const char* parent,
                            const QString& text, const char* range = "", const char* suffix = "",
                            const QStringList& flags = {}) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls)
                                << QString::fromLatin1(parent) << text << QString::fromLatin1(range)
                                << QString::fromUtf8(suffix) << flags;
        };
        const QStringList status = {"ro", "nobuttons", "dec=2"};
        const QStringList setpoint = {"dec=2", "step=1", "value=0"};
        const auto u = [](const char* s) { return QString::fromUtf8(s); };

        // left column: plots
        row("tabWidget_2", "QTabWidget", "widget", "");
        row("plot_para", "KivCustomPlot", "tab", "");
        row("pushButton_clear_para", "QPushButton", "tab", "Clear");
        row("pushButton_plot_para", "QPushButton", "tab", "Start Plot", "", "",
            {"checkable", "unchecked"});
        row("plot_temperature", "KivCustomPlot", "tab_2", "");
        row("pushButton_clear_temp", "QPushButton", "tab_2", "Clear");
        row("pushButton_plot_temp", "QPushButton", "tab_2", "Start Plot", "", "",
            {"checkable", "unchecked"});
        // left column: status
        row("groupBox", "QGroupBox", "widget", u("电机状态"));
        row("label_8", "QLabel", "groupBox", "Torque:", "", "", {"centred"});
        row("doubleSpinBox_Torque", "QDoubleSpinBox", "groupBox", "", "-1000000..1000000", " Nm",
            status);
        row("label_7", "QLabel", "groupBox", "Position:", "", "", {"centred"});
        row("doubleSpinBox_Position", "QDoubleSpinBox", "groupBox", "", "-1000000..1000000", "turn",
            status);
        row("label_6", "QLabel", "groupBox", "Velocity:", "", "", {"centred"});
        row("doubleSpinBox_Velocity", "QDoubleSpinBox", "groupBox", "", "-1000000..1000000",
            "turn/s", status);
        row("label_12", "QLabel", "groupBox", "Mode:", "", "", {"centred"});
        row("spinBox_Mode", "QSpinBox", "groupBox", "", "0..100000000", "",
            {"ro", "nobuttons", "base=10"});
        row("label_10", "QLabel", "groupBox", "State:", "", "", {"centred"});
        row("spinBox_State", "QSpinBox", "groupBox", "", "0..100000000", "",
            {"ro", "nobuttons", "base=2"});
        row("label_16", "QLabel", "groupBox", "Bus Voltage:", "", "", {"centred"});
        row("doubleSpinBox_BusVoltage", "QDoubleSpinBox", "groupBox", "", "-200..200", " V",
            status);
        row("label_15", "QLabel", "groupBox", "Motor Temp:", "", "", {"centred"});
        row("doubleSpinBox_MotorTemp", "QDoubleSpinBox", "groupBox", "", "-100..200", " ℃", status);
        row("label_14", "QLabel", "groupBox", "MOS Temp:", "", "", {"centred"});
        row("doubleSpinBox_MosTemp", "QDoubleSpinBox", "groupBox", "", "-100..200", " ℃", status);
        row("label_13", "QLabel", "groupBox", "MCU Temp:", "", "", {"centred"});
        row("doubleSpinBox_McuTemp", "QDoubleSpinBox", "groupBox", "", "-100..200", " ℃", status);
        row("textEdit_errorWord", "QTextEdit", "groupBox", "", "", "", {"ro", "maxsize=200x100"});
        // left column: log
        row("groupBox_5", "QGroupBox", "widget", u("日志信息"));
        row("textBrowserLogs", "CodeEditor", "groupBox_5", "", "", "", {"ro", "enabled"});
        row("pushButton_SaveFile", "QPushButton", "groupBox_5", "Save File");
        row("pushButtonClear", "QPushButton", "groupBox_5", "Clear");
        // right column: top rows
        row("pushButton_Upgrade", "QPushButton", "widget_righthalf", "FWUpgrade");
        row("comboBox_item", "CustomComboBox", "widget_righthalf", "");
        row("pushButton_connect", "QPushButton", "widget_righthalf", "Connect", "", "",
            {"maxw=100", "notcheckable"});
        row("pushButton_enable", "QPushButton", "widget_righthalf", "Enable", "", "",
            {"maxw=100", "notcheckable"});
        row("pushButton_QuickStop", "QPushButton", "widget_righthalf", "STOP", "", "",
            {"maxw=100", "style=background-color: rgb(255, 0, 0);"});
        row("ButtonsWidget2", "QWidget", "widget_righthalf", "");
        row("label_motorcount", "QLabel", "ButtonsWidget2", u("电机数量:0"));
        row("label_29", "QLabel", "ButtonsWidget2", u("操控电机"));
        row("comboBox_index", "QComboBox", "ButtonsWidget2", "", "", "", {"items=0"});
        row("label_11", "QLabel", "ButtonsWidget2", "Mode:");
        row("comboBox_mode", "QComboBox", "ButtonsWidget2", "", "", "", {"items=6"});
        row("label_26", "QLabel", "ButtonsWidget2", u("电机编号:"));
        row("lineEdit_motorid", "QLineEdit", "ButtonsWidget2", "");
        row("tabWidget", "QTabWidget", "widget_righthalf", "");
        // PDO page
        row("splitter", "QSplitter", "tabWidgetPage1", "");
        row("widget_set", "QWidget", "splitter", "");
        row("layoutWidget", "QWidget", "splitter", "");
        row("groupBoxpdo", "QGroupBox", "widget_set", "");
        row("label", "QLabel", "torquewidget", "Torque");
        row("doubleSpinBox_torque", "NoWheelDoubleSpinBox", "torquewidget", "", "-500..500", " Nm",
            setpoint);
        row("pushButton_torque", "QPushButton", "torquewidget", "Set");
        row("label_2", "QLabel", "positonwidget", "Position");
        row("doubleSpinBox_position", "NoWheelDoubleSpinBox", "positonwidget", "", "-500..500",
            "turn", setpoint + QStringList{"minw=110"});
        row("pushButton_position", "QPushButton", "positonwidget", "Set");
        row("label_3", "QLabel", "velocitywidget", "velocity");
        row("doubleSpinBox_velocity", "NoWheelDoubleSpinBox", "velocitywidget", "", "-10..10",
            "turn/s", setpoint + QStringList{"minw=110"});
        row("pushButton_velocity", "QPushButton", "velocitywidget", "Set");
        row("label_4", "QLabel", "kpwidget", "Kp");
        row("doubleSpinBox_Kp", "NoWheelDoubleSpinBox", "kpwidget", "", "-10..10", "",
            setpoint + QStringList{"minw=110"});
        row("pushButton_Kp", "QPushButton", "kpwidget", "Set");
        row("label_5", "QLabel", "kdwdiget", "Kd");
        row("doubleSpinBox_Kd", "NoWheelDoubleSpinBox", "kdwdiget", "", "-10..10", "",
            setpoint + QStringList{"minw=110"});
        row("pushButton_Kd", "QPushButton", "kdwdiget", "Set");
        // SDO page
        row("scrollArea", "QScrollArea", "tabWidgetPage2", "");
        row("label_27", "QLabel", "widget_5", u("产品类型"));
        row("lineEdit_PdtType", "QLineEdit", "widget_5", "", "", "", {"rw"});
        row("pushButton_ReadPdtType", "QPushButton", "widget_5", "Read");
        row("pushButton_2", "QPushButton", "widget_5", "Write", "", "", {"disabled"});
        row("label_28", "QLabel", "widget_6", u("产品批次"));
        row("lineEdit_PdtBatch", "QLineEdit", "widget_6", "", "", "", {"ro"});
        row("pushButton_ReadPdtBatch", "QPushButton", "widget_6", "Read");
        row("pushButton_Version_5", "QPushButton", "widget_6", "Write", "", "", {"disabled"});
        row("groupBox_3", "QGroupBox", "scrollAreaWidgetContents_2", "");
        row("label_18", "QLabel", "groupBox_3", u("软件版本"));
        row("lineEdit_Version", "QLineEdit", "groupBox_3", "", "", "", {"ro"});
        row("pushButton_ReadVersion", "QPushButton", "groupBox_3", "Read");
        row("pushButton_Version_4", "QPushButton", "groupBox_3", "Write", "", "", {"disabled"});
        row("pushButton_ReadAll", "QPushButton", "tabWidgetPage2", "Read ALL");
        row("pushButton_WriteAll", "QPushButton", "tabWidgetPage2", "Write ALL");
        row("pushButton_Save", "QPushButton", "tabWidgetPage2", "Save");
        // RoundTrip page
        row("textBrowser", "QTextBrowser", "groupBox_2", "");
        row("widget_2", "QWidget", "groupBox_2", "");
        row("groupBox_59", "QGroupBox", "widget_2", "");
        row("label_19", "QLabel", "groupBox_59", u("运动总时间 (s)"));
        row("RoundTripTimeInput", "QDoubleSpinBox", "groupBox_59", "", "1..1800", "", {"value=10"});
        row("RoundTripLabel", "QLabel", "groupBox_59", u("速度环往返参数 (turn/s)"));
        row("doubleSpinBox_roundtripfirst", "QDoubleSpinBox", "groupBox_59", "", "-1000..1000", "",
            {"value=0"});
        row("doubleSpinBox_roundtripsecond", "QDoubleSpinBox", "groupBox_59", "", "-1000..1000", "",
            {"value=0"});
        row("label_21", "QLabel", "groupBox_59", u("往返运动间隔时间 (s)"));
        row("RoundTripIntervalInput", "QDoubleSpinBox", "groupBox_59", "", "0.1..100", "",
            {"value=1"});
        row("button_roundtrip", "QPushButton", "groupBox_59", "Start", "", "", {"notcheckable"});
        // calibration and identification page
        row("groupBox_61", "QGroupBox", "tab_3", "");
        row("label_calibratetime", "QLabel", "groupBox_61", u("当前状态："));
        row("button_calibrate", "QPushButton", "groupBox_61", u("开始校准"));
        row("button_identify", "QPushButton", "groupBox_61", u("开始辨识"));
        row("label_9", "QLabel", "groupBox_61", u("提示1：校准模式需要退出Enable状态"));
        row("label_17", "QLabel", "groupBox_61", u("提示1：辨识模式需要进入Enable模式"));
        row("label_25", "QLabel", "groupBox_61", u("提示2：校准时无法点击其他按钮"));
        row("label_22", "QLabel", "groupBox_61", u("提示2：辨识结束后将自动退出Enable"));
        row("label_24", "QLabel", "groupBox_61", u("提示3：辨识时无法点击其他按钮"));
        // three-joint page
        row("textBrowser_2", "QTextBrowser", "groupBox_4", "");
        row("groupBox_60", "QGroupBox", "widget_3", "");
        row("label_20", "QLabel", "groupBox_60", u("当前级联个数"));
        row("label_multicount", "QLabel", "groupBox_60", "0");
        row("RoundTripLabel_2", "QLabel", "groupBox_60", u("测试转速"));
        row("label_23", "QLabel", "groupBox_60", "1  turn/s");
        row("pushButton", "QPushButton", "groupBox_60", "EnbleAll");
        row("button_multitest", "QPushButton", "groupBox_60", "Start", "", "", {"notcheckable"});
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, parent);
        QFETCH(QString, text);
        QFETCH(QString, range);
        QFETCH(QString, suffix);
        QFETCH(QStringList, flags);

        const QList<QWidget*> found = window->findChildren<QWidget*>(name);
        QCOMPARE(found.size(), 1);
        QWidget* widget = found.first();
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
        QVERIFY(widget->parentWidget());
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QCOMPARE(textOf(widget), text);

        auto* dspin = qobject_cast<QDoubleSpinBox*>(widget);
        auto* ispin = qobject_cast<QSpinBox*>(widget);
        if (!range.isEmpty()) {
            const QStringList bounds = range.split(QStringLiteral(".."));
            QVERIFY(dspin || ispin);
            const double lo = dspin ? dspin->minimum() : ispin->minimum();
            const double hi = dspin ? dspin->maximum() : ispin->maximum();
            QCOMPARE(lo, bounds[0].toDouble());
            QCOMPARE(hi, bounds[1].toDouble());
        }
        if (dspin)
            QCOMPARE(dspin->suffix(), suffix);
        if (ispin) {
            QCOMPARE(ispin->suffix(), suffix);
            QCOMPARE(ispin->prefix(), QString());
        }

        for (const QString& flag : flags) {
            const QString key = flag.section(u'=', 0, 0);
            const QString value = flag.section(u'=', 1);
            auto* spin = qobject_cast<QAbstractSpinBox*>(widget);
            auto* button = qobject_cast<QAbstractButton*>(widget);
            if (key == QLatin1String("ro") || key == QLatin1String("rw")) {
                const bool ro = key == QLatin1String("ro");
                if (spin)
                    QCOMPARE(spin->isReadOnly(), ro);
                else if (auto* e = qobject_cast<QLineEdit*>(widget))
                    QCOMPARE(e->isReadOnly(), ro);
                else if (auto* t = qobject_cast<QTextEdit*>(widget))
                    QCOMPARE(t->isReadOnly(), ro);
                else if (auto* p = qobject_cast<QPlainTextEdit*>(widget))
                    QCOMPARE(p->isReadOnly(), ro);
                else
                    QFAIL("read-only flag on a widget without one");
            } else if (key == QLatin1String("nobuttons")) {
                QVERIFY(spin);
                QCOMPARE(spin->buttonSymbols(), QAbstractSpinBox::NoButtons);
            } else if (key == QLatin1String("dec")) {
                QVERIFY(dspin);
                QCOMPARE(dspin->decimals(), value.toInt());
            } else if (key == QLatin1String("step")) {
                QVERIFY(dspin);
                QCOMPARE(dspin->singleStep(), value.toDouble());
            } else if (key == QLatin1String("value")) {
                QVERIFY(dspin);
                QCOMPARE(dspin->value(), value.toDouble());
            } else if (key == QLatin1String("base")) {
                QVERIFY(ispin);
                QCOMPARE(ispin->displayIntegerBase(), value.toInt());
            } else if (key == QLatin1String("checkable") || key == QLatin1String("notcheckable")) {
                QVERIFY(button);
                QCOMPARE(button->isCheckable(), key == QLatin1String("checkable"));
            } else if (key == QLatin1String("unchecked")) {
                QVERIFY(button);
                QVERIFY(!button->isChecked());
            } else if (key == QLatin1String("disabled") || key == QLatin1String("enabled")) {
                QCOMPARE(widget->isEnabled(), key == QLatin1String("enabled"));
            } else if (key == QLatin1String("maxw")) {
                QCOMPARE(widget->maximumWidth(), value.toInt());
            } else if (key == QLatin1String("minw")) {
                QCOMPARE(widget->minimumWidth(), value.toInt());
            } else if (key == QLatin1String("maxsize")) {
                QCOMPARE(widget->maximumSize(), QSize(200, 100));
            } else if (key == QLatin1String("style")) {
                QCOMPARE(widget->styleSheet(), value);
            } else if (key == QLatin1String("centred")) {
                auto* label = qobject_cast<QLabel*>(widget);
                QVERIFY(label);
                QCOMPARE(label->alignment(), Qt::Alignment(Qt::AlignCenter));
            } else if (key == QLatin1String("items")) {
                auto* combo = qobject_cast<QComboBox*>(widget);
                QVERIFY(combo);
                QCOMPARE(combo->count(), value.toInt());
            } else {
                QFAIL(qPrintable(QStringLiteral("unknown flag ") + flag));
            }
        }
    }

    void frameAndColumns() {
        QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Zentrio v0.0.9"));
        QVERIFY(window->isMaximized());
        auto* central = window->centralWidget();
        QCOMPARE(central->objectName(), QStringLiteral("centralwidget"));
        QCOMPARE(central->layout()->objectName(), QStringLiteral("horizontalLayout"));
        QCOMPARE(central->layout()->itemAt(0)->widget()->objectName(), QStringLiteral("widget"));
        QCOMPARE(central->layout()->itemAt(1)->widget()->objectName(),
                 QStringLiteral("widget_righthalf"));

        auto* left = window->findChild<QVBoxLayout*>(QStringLiteral("verticalLayout_8"));
        QVERIFY(left);
        QCOMPARE(left->stretch(0), 3);
        QCOMPARE(left->stretch(1), 1);
        QCOMPARE(left->stretch(2), 2);

        // The top row is a layout, not a widget; its order is what the operator reads.
        auto* top = window->findChild<QHBoxLayout*>(QStringLiteral("ButtonsWidget1"));
        QVERIFY(top);
        QStringList order;
        for (int i = 0; i < top->count(); ++i) {
            order << top->itemAt(i)->widget()->objectName();
        }
        QCOMPARE(order, QStringList({"pushButton_Upgrade", "comboBox_item", "pushButton_connect",
                                     "pushButton_enable", "pushButton_QuickStop"}));
    }

    void tabsAndModes() {
        auto* plots = window->findChild<QTabWidget*>(QStringLiteral("tabWidget_2"));
        QCOMPARE(plots->currentIndex(), 0);
        QCOMPARE(plots->tabText(0), QStringLiteral("Para"));
        QCOMPARE(plots->tabText(1), QStringLiteral("Temp"));

        auto* pages = window->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
        // The designer leaves page 3 current; start-up shows the setpoints.
        QCOMPARE(pages->currentIndex(), 0);
        const QStringList names = {"tabWidgetPage1", "tabWidgetPage2", "tabWidgetPage3", "tab_3",
                                   "tabWidgetPage4"};
        const QStringList texts = {"PDO", "SDO", "RoundTrip", QStringLiteral("校准辨识"),
                                   QStringLiteral("三关节通讯")};
        QCOMPARE(pages->count(), names.size());
        for (int i = 0; i < pages->count(); ++i) {
            QCOMPARE(pages->widget(i)->objectName(), names[i]);
            QCOMPARE(pages->tabText(i), texts[i]);
        }

        auto* modes = window->findChild<QComboBox*>(QStringLiteral("comboBox_mode"));
        QStringList items;
        for (int i = 0; i < modes->count(); ++i) {
            items << modes->itemText(i);
        }
        QCOMPARE(items, QStringList({QStringLiteral("转速爬升"), QStringLiteral("轮廓位置"),
                                     QStringLiteral("力位混合"), QStringLiteral("正弦曲线"),
                                     QStringLiteral("转矩爬升"), QStringLiteral("转矩标定")}));
    }

    void actions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<bool>("checkable");
        QTest::addColumn<QString>("shortcut");
        QTest::newRow("upgrade") << "actionUpgrade"
                                 << "Upgrade"
                                 << "Upgrade" << false << "";
        QTest::newRow("dock log") << "actionDock_Log"
                                  << "Dock Log"
                                  << "Dock Log" << true << "";
        QTest::newRow("full screen") << "actionFull_Screen"
                                     << "Full Screen"
                                     << "Full Screen" << false << "";
        QTest::newRow("normal screen") << "actionNormal_Screen"
                                       << "Normal Screen"
                                       << "Normal Screen" << false << "";
        QTest::newRow("exit") << "actionExit"
                              << "Exit"
                              << "Exit" << false << "Ctrl+Q";
    }
    void actions() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        QFETCH(bool, checkable);
        QFETCH(QString, shortcut);
        auto* action = window->findChild<QAction*>(name);
        QVERIFY(action);
        QCOMPARE(action->parent(), window.get());
        QCOMPARE(action->text(), text);
        QCOMPARE(action->toolTip(), toolTip);
        QCOMPARE(action->isCheckable(), checkable);
        QCOMPARE(action->shortcut(), QKeySequence(shortcut));
        QCOMPARE(action->menuRole(), QAction::NoRole);
    }

    // Drive, then Help with the upgrade only.
    void menus() {
        const QList<QAction*> top = window->menuBar()->actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(top[0]->menu()->objectName(), QStringLiteral("menuDrive"));
        QMenu* help = top[1]->menu();
        QCOMPARE(help->objectName(), QStringLiteral("menuHelp"));
        QCOMPARE(help->actions().size(), 1);
        QCOMPARE(help->actions().first()->objectName(), QStringLiteral("actionUpgrade"));
    }

    void fullAndNormalScreenActions() {
        window->findChild<QAction*>(QStringLiteral("actionNormal_Screen"))->trigger();
        QTRY_VERIFY(!window->isMaximized());
        window->findChild<QAction*>(QStringLiteral("actionFull_Screen"))->trigger();
        QTRY_VERIFY(window->isMaximized());
    }

    // The temperature plot's time axis gets fewer labels as it narrows; the overlays follow the
    // top rows.
    void resizeAdaptsTimeAxisAndOverlays() {
        window->showNormal();
        // On a hidden page the plot is not laid out; show it as the operator would.
        window->findChild<QTabWidget*>(QStringLiteral("tabWidget_2"))->setCurrentIndex(1);
        auto* plot = window->findChild<KivCustomPlot*>(QStringLiteral("plot_temperature"));
        QVERIFY(plot);
        auto* second = window->findChild<QWidget*>(QStringLiteral("ButtonsWidget2"));
        QSet<int> seen;
        // The window cannot get narrow enough for a small plot, so the plot is narrowed instead;
        // each window resize then applies the rule to whatever width the plot has.
        int step = 0;
        for (const int limit : {280, 330, 450, 520, QWIDGETSIZE_MAX}) {
            plot->setMaximumWidth(limit);
            QCoreApplication::processEvents();
            window->resize(1200 + (++step % 2), 600);
            QCoreApplication::processEvents();
            const int plotWidth = plot->axisRect()->rect().width();
            const int expected = plotWidth < 250 ? 2 : plotWidth < 400 ? 5 : 6;
            QCOMPARE(plot->xAxis->ticker()->tickCount(), expected);
            seen.insert(expected);
        }
        QCOMPARE(seen.size(), 3);  // all three bands were crossed

        // Two transparent covers, hidden until a test procedure runs.
        QList<QWidget*> overlays;
        for (QObject* child :
             window->findChild<QWidget*>(QStringLiteral("widget_righthalf"))->children()) {
            auto* w = qobject_cast<QWidget*>(child);
            if (w && w->objectName().isEmpty() &&
                w->styleSheet() == QLatin1String("background-color:rgba(0,0,0,0)")) {
                overlays << w;
            }
        }
        QCOMPARE(overlays.size(), 2);
        QVERIFY(!overlays[0]->isVisible());
        QVERIFY(!overlays[1]->isVisible());
        auto* top = window->findChild<QHBoxLayout*>(QStringLiteral("ButtonsWidget1"));
        QCOMPARE(overlays[0]->geometry(), top->geometry());
        QCOMPARE(overlays[1]->geometry(), second->geometry());
        window->findChild<QTabWidget*>(QStringLiteral("tabWidget_2"))->setCurrentIndex(0);
        window->showMaximized();
    }

    // Texts carrying state survive a language change: a running procedure's button must not
    // fall back to its idle text, which would let the procedure start a second time.
    void retranslateKeepsStateTexts() {
        const QStringList stateTexts = {
            "pushButton_connect",   "pushButton_enable",    "button_roundtrip",
            "button_multitest",     "button_calibrate",     "button_identify",
            "pushButton_plot_para", "pushButton_plot_temp", "label_motorcount",
            "label_multicount",     "RoundTripLabel",       "label_calibratetime"};
        const auto textOf = [this](const QString& name) {
            QObject* o = window->findChild<QObject*>(name);
            return o == nullptr ? QStringLiteral("<missing>") : o->property("text").toString();
        };
        for (const QString& name : stateTexts) {
            QObject* o = window->findChild<QObject*>(name);
            QVERIFY2(o != nullptr, qPrintable(name));
            o->setProperty("text", QStringLiteral("state of ") + name);
        }
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(window.get(), &change);
        QCOMPARE(window->windowTitle(), QStringLiteral("Zentrio v0.0.9"));
        for (const QString& name : stateTexts) {
            QCOMPARE(textOf(name), QStringLiteral("state of ") + name);
        }
    }
};

QTEST_MAIN(TestMainWindowLayout)
#include "tst_mainwindow_layout.moc"
