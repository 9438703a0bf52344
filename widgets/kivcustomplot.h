#pragma once

#include <qcustomplot.h>

// QCustomPlot whose wheel zoom stops at sane spans, so a stray scroll cannot lose the trace.
class KivCustomPlot : public QCustomPlot {
    Q_OBJECT

public:
    explicit KivCustomPlot(QWidget* parent = nullptr);

    // Spans (upper - lower) outside which the wheel no longer zooms an axis further. Zooming out
    // goes on past kMaxZoomSpan as long as the axis shows less than twice the data's extent, so a
    // long recording can always be seen whole.
    static constexpr double kMaxZoomSpan = 1000.0;
    static constexpr double kMinZoomSpan = 0.01;

    // Whether one wheel step in direction `delta` (> 0 in, < 0 out) may zoom an axis now spanning
    // `span` whose data extend over `dataSpan`. Judged before the step: one step may overshoot.
    static bool zoomAllowed(double span, double dataSpan, int delta);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    // Extent of all graphs' data along the axis (keys for the key axis, values otherwise).
    double dataSpan(const QCPAxis* axis) const;
};
