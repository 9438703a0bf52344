#include <QTabWidget>
#include <QTest>

#include "factorywindow.h"

// The production-test station: a frame without behaviour, except that its first station shows
// the appearance check with the verdict on a second line (the form still has an older title).
class TestFactoryWindow : public QObject {
    Q_OBJECT

private slots:
    void firstStationShowsTheVerdict() {
        FactoryWindow window;
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
        QVERIFY(tabs != nullptr);
        QCOMPARE(tabs->tabText(0), QStringLiteral("外观测试\nPASS"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("校准"));
    }
};

QTEST_MAIN(TestFactoryWindow)
#include "tst_factorywindow.moc"
