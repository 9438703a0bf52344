#include "kivcustomplot.h"

KivCustomPlot::KivCustomPlot(QWidget* parent) : QCustomPlot(parent) {}

void KivCustomPlot::wheelEvent(QWheelEvent* event) {
    // Both spans are checked even when only one axis zooms: the limits are about what the
    // operator can still read, and they are judged before the step, so one step may overshoot.
    const double sx = xAxis->range().upper - xAxis->range().lower;
    const double sy = yAxis->range().upper - yAxis->range().lower;
    const int d = event->angleDelta().y();

    if (d < 0) {
        if (sy > kMaxZoomSpan || sx > kMaxZoomSpan) {
            return;
        }
    } else if (d > 0) {
        if (sy < kMinZoomSpan || sx < kMinZoomSpan) {
            return;
        }
    }
    QCustomPlot::wheelEvent(event);
}
