#include <QtTest/qtestspontaneevent.h>
#include <QtTest>
#include <QtWidgets>

#include "../filebytes.h"
#include "codeeditor.h"
#include "customcombobox.h"
#include "kivcustomplot.h"
#include "plotexport.h"

namespace {

// One spontaneous wheel notch, so that an ignored event goes on to the parent.
void wheel(QWidget* target, QPointF pos, QPoint angle) {
    QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(target, &event);
}

QCPGraph* curve(QCustomPlot& plot, const QString& name, const QVector<double>& keys,
                const QVector<double>& values) {
    QCPGraph* g = plot.addGraph();
    g->setName(name);
    g->setData(keys, values, true);
    return g;
}

}  // namespace

class TestWidgets : public QObject {
    Q_OBJECT

private slots:
    // Per axis: span kept within 0.01..1000 (or twice the recorded); horizontal wheel passes.
    void plotZoomLimits() {
        KivCustomPlot plot;
        plot.resize(400, 300);
        plot.setInteractions(QCP::iRangeZoom);
        plot.replot();
        QSignalSpy reached(&plot, &QCustomPlot::mouseWheel);
        const QPointF centre = plot.axisRect()->rect().center();
        const struct {
            double x, y;
            int notch;          // > 0 zooms in (1: a touchpad's finest step)
            bool zoomX, zoomY;  // the axis moves
            bool recorded;      // over 1200 s of values 40 to 1240
        } steps[] = {
            {1000, 10, -120, true, true, false},      {1000.5, 10, -120, false, true, false},
            {10, 1000.5, -120, true, false, false},   {1000.5, 1000.5, -120, false, false, false},
            {1000.5, 10, 120, true, true, false},     {10, 0.01, 120, true, true, false},
            {0.009, 10, 120, false, true, false},     {10, 0.009, 120, true, false, false},
            {0.009, 0.009, 120, false, false, false}, {10, 0.009, -120, true, true, false},
            {5000, 5000, 0, false, false, false},     {2400, 2400, -120, true, true, true},
            {2400.5, 12, -120, false, true, true},    {2400, 2400.5, -120, true, false, true},
            {10, 1500, -120, true, true, true},       {0.009, 10, 1, false, true, true}};
        for (const auto& step : steps) {
            if (step.recorded && plot.graphCount() == 0) {
                QVector<double> keys, values;
                for (int t = 0; t <= 1200; t += 10) {
                    keys << t;
                    values << 40 + t;
                }
                curve(plot, "mcu", keys, values);
            }
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

    // CSV rows at every visible key in range, empty cells, quoted names; bad type/folder refused.
    void plotExport() {
        QTemporaryDir dir;
        QCustomPlot plot;
        plot.resize(320, 200);
        curve(plot, "torque, Nm", {0.0, 0.5, 1.0, 1.5, 2.0}, {1, 2, 3, 4, 5});
        curve(plot, "velocity", {0.5, 1.25, 1.5}, {-0.5, 7.25, 8});
        curve(plot, "hidden", {1.0}, {99})->setVisible(false);
        plot.xAxis->setRange(0.5, 1.5);
        const QString csv = QStringLiteral(
            "Time (s),\"torque, Nm\",velocity\n0.5,2,-0.5\n1,3,\n1.25,,7.25\n1.5,4,8\n");
        QCOMPARE(plotCsv(plot), csv);
        QString error;
        for (const char* name : {"p.csv", "p.png", "p.pdf"})
            QVERIFY2(exportPlot(plot, dir.filePath(name), &error), qPrintable(error));
        QCOMPARE(fileBytes(dir.filePath("p.csv")), csv.toUtf8());
        QCOMPARE(QImage(dir.filePath("p.png")).size(), QSize(320, 200));
        QVERIFY(fileBytes(dir.filePath("p.pdf")).startsWith("%PDF"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);

        QVERIFY(!exportPlot(plot, dir.filePath("p.txt"), &error));
        QVERIFY(error.contains("txt") && !QFile::exists(dir.filePath("p.txt")));
        error.clear();
        QVERIFY(!exportPlot(plot, dir.filePath("missing/p.csv"), &error) && !error.isEmpty());
        QVERIFY(!exportPlot(plot, dir.filePath("missing/p.pdf"), &error));
        plot.resize(0, 0);  // no picture to write: refused, and no file left
        QVERIFY(!exportPlot(plot, dir.filePath("e.png"), &error) &&
                !QFile::exists(dir.filePath("e.png")));
    }

    // popupShown comes before the list opens, so what a slot puts in shows at once.
    void comboAnnouncesOpening() {
        CustomComboBox combo;
        bool listWasVisible = true;
        connect(&combo, &CustomComboBox::popupShown, &combo, [&] {
            listWasVisible = combo.view()->isVisible();
            combo.addItem(QStringLiteral("sim:1"));
        });
        combo.show();
        combo.showPopup();
        QVERIFY(!listWasVisible && combo.view()->isVisible() && combo.count() == 1);
    }

    // The gutter widens when the line count gains a digit; the text starts beside it at the top.
    void logViewGutter() {
        CodeEditor editor;
        QList<int> widths;
        for (const int lines : {1, 9, 10, 99, 100}) {
            editor.setPlainText(QString(lines - 1, u'\n'));
            widths << editor.lineNumberWidth();
            QCOMPARE(editor.viewport()->pos() - editor.contentsRect().topLeft(),
                     QPoint(widths.last(), 0));
        }
        QVERIFY(widths[0] == widths[1] && widths[1] < widths[2]);
        QVERIFY(widths[2] == widths[3] && widths[3] < widths[4]);
        // The current line is marked only where asked for, across the whole width.
        editor.moveCursor(QTextCursor::End);
        QVERIFY(editor.extraSelections().isEmpty());
        editor.setLineHighlightEnabled(true);
        editor.moveCursor(QTextCursor::Start);
        QCOMPARE(editor.extraSelections().value(0).format.property(QTextFormat::FullWidthSelection),
                 QVariant(true));
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
