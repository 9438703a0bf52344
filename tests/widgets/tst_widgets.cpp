#include <QtTest/qtestspontaneevent.h>
#include <QAbstractItemView>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "codeeditor.h"
#include "customcombobox.h"
#include "kivcustomplot.h"
#include "nowheeldoublespinbox.h"

namespace {

// One notch of a real mouse wheel on `target` at `pos`, delivered as the window system does, so
// that an ignored event goes on to the parent.
void wheel(QWidget* target, QPointF pos, QPoint angle) {
    QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(target, &event);
}

}  // namespace

// The console's own widgets: the plot's wheel-zoom limits, the wheel-proof spin box, the adapter
// list that refills itself as it opens, and the log view's line-number gutter and highlight.
class TestWidgets : public QObject {
    Q_OBJECT

private:
    // A wheel notch over a spin box on a tall scrolled page: how far the page moved, and the value.
    template <typename SpinBox>
    static std::pair<int, double> wheelOverSpinBox() {
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
            return {-1, 0.0};
        }
        const int before = area.verticalScrollBar()->value();
        wheel(spin, spin->rect().center(), QPoint(0, -120));
        return {area.verticalScrollBar()->value() - before, spin->value()};
    }

private slots:
    // The wheel stops zooming out once either span exceeds 1000 and zooming in once either is
    // below 0.01, judged before the step; the step that reaches a limit is still taken, a
    // horizontal-only wheel passes through, and a value-axis zoom is blocked by a wide time axis.
    void plotZoomLimits() {
        KivCustomPlot plot;
        plot.resize(400, 300);
        plot.setInteractions(QCP::iRangeZoom);
        plot.replot();
        QSignalSpy reached(&plot, &QCustomPlot::mouseWheel);
        const QPointF centre = plot.axisRect()->rect().center();
        const auto spans = [&plot] {
            return std::pair{plot.xAxis->range().size(), plot.yAxis->range().size()};
        };

        plot.xAxis->setRange(0, 1000);
        plot.yAxis->setRange(0, 10);
        wheel(&plot, centre, {0, -120});  // exactly at the limit: taken, and overshoots it
        QCOMPARE(reached.count(), 1);
        QVERIFY(spans().first > 1000.0 && spans().second > 10.0);
        const auto out = spans();
        wheel(&plot, centre, {0, -120});
        QCOMPARE(reached.count(), 1);
        QCOMPARE(spans(), out);
        wheel(&plot, centre, {0, 120});  // zooming back in is never blocked by the upper bound
        QVERIFY(spans().first < out.first);

        plot.xAxis->setRange(0, 10);
        plot.yAxis->setRange(0, 0.01);
        wheel(&plot, centre, {0, 120});
        QVERIFY(spans().second < 0.01 && spans().first < 10.0);
        const auto in = spans();
        wheel(&plot, centre, {0, 120});
        QCOMPARE(spans(), in);
        wheel(&plot, centre, {0, -120});
        QVERIFY(spans().second > in.second);

        plot.xAxis->setRange(0, 5000);
        plot.yAxis->setRange(0, 0.001);
        const int seen = reached.count();
        wheel(&plot, centre, {120, 0});
        QCOMPARE(reached.count(), seen + 1);

        plot.axisRect()->setRangeZoom(Qt::Vertical);
        plot.xAxis->setRange(0, 1500);
        plot.yAxis->setRange(0, 10);
        wheel(&plot, centre, {0, -120});
        QCOMPARE(spans(), (std::pair{1500.0, 10.0}));
        wheel(&plot, centre, {0, 120});
        QVERIFY(spans().second < 10.0);
        QCOMPARE(spans().first, 1500.0);
    }

    // The wheel over a setpoint scrolls the page; over a stock spin box the same notch changes
    // the value instead, which shows the notch really reached the spin box.
    void spinBoxIgnoresTheWheel() {
        const auto [scrolled, value] = wheelOverSpinBox<NoWheelDoubleSpinBox>();
        QVERIFY(scrolled > 0);
        QCOMPARE(value, 5.0);
        const auto [stockScrolled, stockValue] = wheelOverSpinBox<QDoubleSpinBox>();
        QCOMPARE(stockScrolled, 0);
        QVERIFY(stockValue != 5.0);
    }

    // popupShown comes before the list opens, so what a slot puts in shows at once.
    void comboAnnouncesOpening() {
        CustomComboBox combo;
        combo.addItem(QStringLiteral("stale"));
        int openings = 0;
        bool listWasVisible = true;
        connect(&combo, &CustomComboBox::popupShown, &combo, [&] {
            listWasVisible = combo.view()->isVisible();
            combo.clear();
            combo.addItems({QStringLiteral("eth0"), QStringLiteral("sim:%1").arg(++openings)});
        });
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));
        QTest::keyClick(&combo, Qt::Key_F4);
        QCOMPARE(openings, 1);
        QVERIFY(!listWasVisible && combo.view()->isVisible());
        QCOMPARE(combo.view()->model()->index(1, 0).data().toString(), QStringLiteral("sim:1"));
        combo.hidePopup();
        QCOMPARE(openings, 1);  // closing is not an opening
        combo.showPopup();
        QCOMPARE(combo.itemText(1), QStringLiteral("sim:2"));
        combo.hidePopup();
    }

    // The gutter widens when the line count gains a digit, at once, and the text never runs
    // under it; the current-line highlight is off unless asked for and then follows the cursor.
    void logViewGutterAndHighlight() {
        CodeEditor editor;
        editor.resize(300, 200);
        const auto margin = [&editor] {
            return editor.viewport()->x() - editor.contentsRect().left();
        };
        QStringList lines;
        QList<int> widths;
        for (int n = 1; n <= 100; ++n) {
            lines << QString::number(n);
            if (n == 1 || n == 9 || n == 10 || n == 99 || n == 100) {
                editor.setPlainText(lines.join(u'\n'));
                widths << editor.lineNumberWidth();
                QCOMPARE(margin(), widths.last());
            }
        }
        QVERIFY(widths[0] == widths[1] && widths[1] < widths[2]);
        QVERIFY(widths[2] == widths[3] && widths[3] < widths[4]);
        editor.setPlainText(lines.mid(0, 9).join(u'\n'));
        editor.appendPlainText(QStringLiteral("10"));
        QCOMPARE(margin(), widths[2]);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        editor.resize(320, 240);
        const QRect cr = editor.contentsRect();
        QCOMPARE(editor.findChild<LineNumberArea*>()->geometry(),
                 QRect(cr.left(), cr.top(), editor.lineNumberWidth(), cr.height()));

        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(editor.document()->findBlockByNumber(3));
        editor.setExtraSelections({mark});
        editor.setTextCursor(QTextCursor(editor.document()->findBlockByNumber(1)));
        QCOMPARE(editor.extraSelections().size(), 1);
        QCOMPARE(editor.extraSelections().first().cursor.blockNumber(), 3);
        editor.setLineHighlightEnabled(true);
        QTextCursor cursor(editor.document()->findBlockByNumber(2));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        editor.setTextCursor(cursor);
        const auto selections = editor.extraSelections();
        QCOMPARE(selections.size(), 1);
        QVERIFY(selections.first().format.property(QTextFormat::FullWidthSelection).toBool());
        QCOMPARE(selections.first().cursor.blockNumber(), 2);
        QVERIFY(!selections.first().cursor.hasSelection());
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
