#include <QtTest/qtestspontaneevent.h>
#include <QtTest>
#include <QtWidgets>

#include "codeeditor.h"
#include "customcombobox.h"
#include "kivcustomplot.h"
#include "nowheeldoublespinbox.h"

namespace {

// One notch of a real mouse wheel, delivered as the window system does, so that an ignored event
// goes on to the parent.
void wheel(QWidget* target, QPointF pos, QPoint angle) {
    QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(target, &event);
}

// A notch over a spin box on a tall scrolled page: how far the page moved, and the value after.
template <typename SpinBox>
std::pair<int, double> wheelOverSpinBox() {
    QScrollArea area;
    auto* page = new QWidget;
    auto* spin = new SpinBox;
    spin->setValue(5.0);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(spin);
    layout->addSpacing(3000);
    area.setWidget(page);
    area.resize(200, 200);
    area.show();
    const int before = area.verticalScrollBar()->value();
    wheel(spin, spin->rect().center(), QPoint(0, -120));
    return {area.verticalScrollBar()->value() - before, spin->value()};
}

}  // namespace

// The console's own widgets: the plot's wheel-zoom limits, the wheel-proof spin box, the adapter
// list that refills itself as it opens, and the log view's line-number gutter.
class TestWidgets : public QObject {
    Q_OBJECT

private slots:
    // Each axis on its own: the wheel stops zooming an axis out once its span exceeds 1000 (on an
    // empty plot) and in once it is below 0.01, judged before the step (the step reaching a
    // limit is taken); with both axes stopped the wheel does nothing; a horizontal-only wheel
    // passes through.
    void plotZoomLimits() {
        KivCustomPlot plot;
        plot.resize(400, 300);
        plot.setInteractions(QCP::iRangeZoom);
        plot.replot();
        QSignalSpy reached(&plot, &QCustomPlot::mouseWheel);
        const QPointF centre = plot.axisRect()->rect().center();
        const struct {
            double x, y;
            int notch;          // > 0 zooms in
            bool zoomX, zoomY;  // the axis moves
        } steps[] = {{1000, 10, -120, true, true},      {1000.5, 10, -120, false, true},
                     {10, 1000.5, -120, true, false},   {1000.5, 1000.5, -120, false, false},
                     {1000.5, 10, 120, true, true},     {10, 0.01, 120, true, true},
                     {0.009, 10, 120, false, true},     {10, 0.009, 120, true, false},
                     {0.009, 0.009, 120, false, false}, {10, 0.009, -120, true, true},
                     {5000, 0.001, 0, false, false}};
        for (const auto& step : steps) {
            plot.xAxis->setRange(0, step.x);
            plot.yAxis->setRange(0, step.y);
            const int seen = reached.count();
            wheel(&plot, centre, step.notch == 0 ? QPoint(120, 0) : QPoint(0, step.notch));
            QCOMPARE(reached.count() - seen, step.zoomX || step.zoomY || step.notch == 0 ? 1 : 0);
            QCOMPARE(plot.xAxis->range().size() != step.x, step.zoomX);
            QCOMPARE(plot.yAxis->range().size() != step.y, step.zoomY);
            QCOMPARE(plot.axisRect()->rangeZoom(), Qt::Horizontal | Qt::Vertical);  // restored
        }
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
        int openings = 0;
        bool listWasVisible = true;
        connect(&combo, &CustomComboBox::popupShown, &combo, [&] {
            listWasVisible = combo.view()->isVisible();
            combo.clear();
            combo.addItem(QStringLiteral("sim:%1").arg(++openings));
        });
        combo.show();
        combo.showPopup();
        QVERIFY(!listWasVisible && combo.view()->isVisible());
        QCOMPARE(combo.view()->model()->index(0, 0).data().toString(), QStringLiteral("sim:1"));
        combo.hidePopup();
        QCOMPARE(openings, 1);  // closing is not an opening
    }

    // The gutter widens when the line count gains a digit, and the text never runs under it.
    void logViewGutter() {
        CodeEditor editor;
        QList<int> widths;
        for (const int lines : {1, 9, 10, 99, 100}) {
            editor.setPlainText(QString(lines - 1, u'\n'));
            widths << editor.lineNumberWidth();
            QCOMPARE(editor.viewport()->x() - editor.contentsRect().left(), widths.last());
        }
        QVERIFY(widths[0] == widths[1] && widths[1] < widths[2]);
        QVERIFY(widths[2] == widths[3] && widths[3] < widths[4]);
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
