#include <QtTest/qtestspontaneevent.h>
#include <QAbstractItemView>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "customcombobox.h"
#include "nowheeldoublespinbox.h"

// The wheel-proof spin box and the combo box that announces its opening.
class TestEntryWidgets : public QObject {
    Q_OBJECT

private:
    // A wheel notch over a spin box placed on a tall scrolled page; returns how far the page moved.
    template <typename SpinBox>
    static int wheelOverSpinBoxInScrollArea(double& valueAfter) {
        QScrollArea area;
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        auto* spin = new SpinBox;
        spin->setRange(-100, 100);
        spin->setValue(5.0);
        layout->addWidget(spin);
        layout->addSpacing(3000);
        area.setWidget(page);
        area.resize(200, 200);
        area.show();
        if (!QTest::qWaitForWindowExposed(&area)) {
            return -1;
        }
        QScrollBar* bar = area.verticalScrollBar();
        const int before = bar->value();

        const QPointF pos = spin->rect().center();
        QWheelEvent down(pos, spin->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        // Qt hands an ignored wheel event on to the parent only when it came from the window
        // system; sendEvent would clear that mark, so deliver it as the event loop does.
        QSpontaneKeyEvent::setSpontaneous(&down);
        qApp->notify(spin, &down);

        valueAfter = spin->value();
        return bar->value() - before;
    }

private slots:
    void haveOwnMetaObjects() {
        NoWheelDoubleSpinBox spin;
        CustomComboBox combo;
        QCOMPARE(spin.metaObject()->className(), "NoWheelDoubleSpinBox");
        QCOMPARE(combo.metaObject()->className(), "CustomComboBox");
        QVERIFY(combo.metaObject()->indexOfSignal("popupShown()") >= 0);
    }

    void wheelOverSpinBoxScrollsPageInstead() {
        double value = 0;
        QVERIFY(wheelOverSpinBoxInScrollArea<NoWheelDoubleSpinBox>(value) > 0);
        QCOMPARE(value, 5.0);

        // The same notch over a stock spin box changes the value and leaves the page alone,
        // which shows the notch above really reached the spin box.
        QCOMPARE(wheelOverSpinBoxInScrollArea<QDoubleSpinBox>(value), 0);
        QVERIFY(value != 5.0);
    }

    void keyboardAndStepButtonsStillWork() {
        NoWheelDoubleSpinBox spin;
        spin.setRange(-100, 100);
        spin.setSingleStep(0.5);
        spin.setValue(1.0);
        spin.show();
        QVERIFY(QTest::qWaitForWindowExposed(&spin));

        QTest::keyClick(&spin, Qt::Key_Up);
        QCOMPARE(spin.value(), 1.5);
        QTest::keyClick(&spin, Qt::Key_Down);
        QTest::keyClick(&spin, Qt::Key_Down);
        QCOMPARE(spin.value(), 0.5);

        QStyleOptionSpinBox option;
        option.initFrom(&spin);
        option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
        option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
        option.frame = spin.hasFrame();
        const QRect up =
            spin.style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, &spin);
        QVERIFY(up.isValid());
        QTest::mouseClick(&spin, Qt::LeftButton, Qt::NoModifier, up.center());
        QCOMPARE(spin.value(), 1.0);
    }

    void popupShownPrecedesOpeningAndCanRefill() {
        CustomComboBox combo;
        combo.addItem(QStringLiteral("stale"));
        int openings = 0;
        bool listWasVisible = true;
        connect(&combo, &CustomComboBox::popupShown, &combo, [&] {
            ++openings;
            listWasVisible = combo.view()->isVisible();
            combo.clear();
            combo.addItems({QStringLiteral("veth-drives"), QStringLiteral("sim:%1").arg(openings)});
        });
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));

        QTest::keyClick(&combo, Qt::Key_F4);  // opens the list as a user would
        QCOMPARE(openings, 1);
        QVERIFY(!listWasVisible);
        QVERIFY(combo.view()->isVisible());
        QCOMPARE(combo.view()->model()->rowCount(), 2);
        QCOMPARE(combo.view()->model()->index(1, 0).data().toString(), QStringLiteral("sim:1"));

        combo.hidePopup();
        QVERIFY(!combo.view()->isVisible());
        QCOMPARE(openings, 1);  // closing is not an opening

        combo.showPopup();
        QCOMPARE(openings, 2);
        QVERIFY(!listWasVisible);
        QCOMPARE(combo.view()->model()->index(1, 0).data().toString(), QStringLiteral("sim:2"));
        combo.hidePopup();
    }
};

QTEST_MAIN(TestEntryWidgets)
#include "tst_entrywidgets.moc"
