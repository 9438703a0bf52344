#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "kivcustomplot.h"
#include "plotexport.h"

// Keeping a plot (CSV, PNG, PDF) and the wheel zoom bounds on long recordings.
class TestPlotExport : public QObject {
    Q_OBJECT

    static QCPGraph* curve(QCustomPlot& plot, const QString& name, const QVector<double>& keys,
                           const QVector<double>& values) {
        QCPGraph* g = plot.addGraph();
        g->setName(name);
        g->setData(keys, values, true);
        return g;
    }

    static QByteArray readAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void csvHoldsTheVisibleCurvesOverTheVisibleTime() {
        QCustomPlot plot;
        curve(plot, "torque, Nm", {0.0, 0.5, 1.0, 1.5, 2.0}, {1, 2, 3, 4, 5});
        curve(plot, "velocity", {0.5, 1.25, 1.5}, {-0.5, 7.25, 8});
        curve(plot, "hidden", {1.0}, {99})->setVisible(false);
        plot.xAxis->setRange(0.5, 1.5);
        // Rows at every key of any curve inside the range, inclusive at both ends; a curve
        // without a point there leaves its cell empty; a name with a comma is quoted.
        QCOMPARE(plotCsv(plot), QStringLiteral("Time (s),\"torque, Nm\",velocity\n"
                                               "0.5,2,-0.5\n"
                                               "1,3,\n"
                                               "1.25,,7.25\n"
                                               "1.5,4,8\n"));
    }

    void exportWritesEachTypeWholeAndRefusesTheRest() {
        QTemporaryDir dir;
        QCustomPlot plot;
        plot.resize(320, 200);
        curve(plot, "a", {0, 1, 2}, {3, 1, 2});
        plot.xAxis->setRange(0, 2);
        QString error;

        const QString csv = dir.filePath("p.csv");
        QVERIFY2(exportPlot(plot, csv, &error), qPrintable(error));
        QCOMPARE(readAll(csv), plotCsv(plot).toUtf8());

        const QString png = dir.filePath("p.png");
        QVERIFY2(exportPlot(plot, png, &error), qPrintable(error));
        const QImage image(png);
        QCOMPARE(image.size(), QSize(320, 200));

        const QString pdf = dir.filePath("p.pdf");
        QVERIFY2(exportPlot(plot, pdf, &error), qPrintable(error));
        QVERIFY(readAll(pdf).startsWith("%PDF"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);  // no temporaries left

        QVERIFY(!exportPlot(plot, dir.filePath("p.txt"), &error));
        QVERIFY(error.contains("txt"));
        QVERIFY(!QFile::exists(dir.filePath("p.txt")));
        error.clear();
        QVERIFY(!exportPlot(plot, dir.filePath("missing/p.csv"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!exportPlot(plot, dir.filePath("missing/p.pdf"), &error));
    }

    // A temperature run of 20 minutes: the time axis spans more than 1000 s, and the wheel must
    // still zoom the values out (and the time axis too, up to twice the recording).
    void longRecordingStillZoomsBothAxes() {
        KivCustomPlot plot;
        plot.resize(400, 300);
        plot.setInteractions(QCP::iRangeZoom);
        QVector<double> keys, values;
        for (int t = 0; t <= 1200; t += 10) {
            keys << t;
            values << 40 + t / 100.0;
        }
        curve(plot, "mcu", keys, values);
        plot.xAxis->setRange(0, 1200);
        plot.yAxis->setRange(40, 52);
        plot.replot();
        const QPointF pos = plot.axisRect()->rect().center();
        auto wheelOut = [&] {
            QWheelEvent out(pos, plot.mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                            Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&plot, &out);
        };
        wheelOut();
        QVERIFY(plot.yAxis->range().size() > 12.0);
        QVERIFY(plot.xAxis->range().size() > 1200.0);

        // Past twice the recording the time axis stops; the values still zoom.
        plot.xAxis->setRange(0, 2500);
        const double y = plot.yAxis->range().size();
        wheelOut();
        QCOMPARE(plot.xAxis->range().size(), 2500.0);
        QVERIFY(plot.yAxis->range().size() > y);
    }
};

QTEST_MAIN(TestPlotExport)
#include "tst_plotexport.moc"
