#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include "kivcustomplot.h"

// Wheel zoom limits of the trace plot, exercised through QCustomPlot's own range zoom.
class TestKivCustomPlot : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<KivCustomPlot> plot;

    // One notch of a real mouse wheel at the centre of the plotting area; angle > 0 zooms in.
    void turnWheel(QPoint angle) {
        const QPointF pos = plot->axisRect()->rect().center();
        QWheelEvent event(pos, plot->mapToGlobal(pos), QPoint(), angle, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot.get(), &event);
    }
    double spanX() const { return plot->xAxis->range().size(); }
    double spanY() const { return plot->yAxis->range().size(); }

private slots:
    void init() {
        plot = std::make_unique<KivCustomPlot>(nullptr);
        plot->resize(400, 300);
        plot->setInteractions(QCP::iRangeZoom);
        plot->xAxis->setRange(0, 10);
        plot->yAxis->setRange(0, 10);
        plot->replot();  // lays out the axis rect so the wheel lands on it
    }
    void cleanup() { plot.reset(); }

    void hasOwnMetaObject() {
        QCOMPARE(plot->metaObject()->className(), "KivCustomPlot");
        QVERIFY(!plot->openGl());
    }

    void plainZoomStillWorks() {
        turnWheel({0, 120});
        QVERIFY(spanX() < 10.0);
        QVERIFY(spanY() < 10.0);
        turnWheel({0, -120});
        turnWheel({0, -120});
        QVERIFY(spanX() > 10.0);
    }

    void zoomOutAllowedAtExactlyMaxSpanThenRefused() {
        plot->xAxis->setRange(0, 1000);
        QSignalSpy reached(plot.get(), &QCustomPlot::mouseWheel);

        turnWheel({0, -120});
        QCOMPARE(reached.count(), 1);
        QVERIFY(spanX() > 1000.0);  // one step may overshoot the bound
        const QCPRange x = plot->xAxis->range();
        const QCPRange y = plot->yAxis->range();

        turnWheel({0, -120});
        QCOMPARE(reached.count(), 1);
        QCOMPARE(plot->xAxis->range().lower, x.lower);
        QCOMPARE(plot->xAxis->range().upper, x.upper);
        QCOMPARE(plot->yAxis->range().lower, y.lower);
        QCOMPARE(plot->yAxis->range().upper, y.upper);

        // Zooming back in is never blocked by the upper bound.
        turnWheel({0, 120});
        QVERIFY(spanX() < x.size());
    }

    void zoomInAllowedAtExactlyMinSpanThenRefused() {
        plot->yAxis->setRange(0, 0.01);

        turnWheel({0, 120});
        QVERIFY(spanY() < 0.01);
        const double y = spanY();
        const double x = spanX();

        turnWheel({0, 120});
        QCOMPARE(spanY(), y);
        QCOMPARE(spanX(), x);

        turnWheel({0, -120});
        QVERIFY(spanY() > y);
    }

    // The value axis alone zooms while a plot runs; a wide time axis still blocks zooming out.
    void keyAxisSpanBlocksValueAxisZoomOut() {
        plot->axisRect()->setRangeZoom(Qt::Vertical);
        plot->xAxis->setRange(0, 1500);
        turnWheel({0, -120});
        QCOMPARE(spanY(), 10.0);
        QCOMPARE(spanX(), 1500.0);

        turnWheel({0, 120});
        QVERIFY(spanY() < 10.0);
        QCOMPARE(spanX(), 1500.0);
    }

    void horizontalOnlyWheelPassesThrough() {
        // Spans far outside both bounds: a vertical step would be refused either way.
        plot->xAxis->setRange(0, 5000);
        plot->yAxis->setRange(0, 0.001);
        QSignalSpy reached(plot.get(), &QCustomPlot::mouseWheel);

        turnWheel({120, 0});
        QCOMPARE(reached.count(), 1);
        turnWheel({0, 120});
        turnWheel({0, -120});
        QCOMPARE(reached.count(), 1);
    }
};

QTEST_MAIN(TestKivCustomPlot)
#include "tst_kivcustomplot.moc"
