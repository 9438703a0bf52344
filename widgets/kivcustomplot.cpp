#include "kivcustomplot.h"

#include <algorithm>

KivCustomPlot::KivCustomPlot(QWidget* parent) : QCustomPlot(parent) {}

bool KivCustomPlot::zoomAllowed(double span, double dataSpan, int delta) {
    if (delta < 0) {
        return span <= std::max(kMaxZoomSpan, 2.0 * dataSpan);
    }
    if (delta > 0) {
        return span >= kMinZoomSpan;
    }
    return true;
}

double KivCustomPlot::dataSpan(const QCPAxis* axis) const {
    QCPRange extent;
    bool any = false;
    for (int i = 0; i < graphCount(); ++i) {
        const QCPGraph* g = graph(i);
        bool found = false;
        QCPRange r;
        if (g->keyAxis() == axis) {
            r = g->getKeyRange(found);
        } else if (g->valueAxis() == axis) {
            r = g->getValueRange(found);
        }
        if (found) {
            extent =
                any ? QCPRange(std::min(extent.lower, r.lower), std::max(extent.upper, r.upper))
                    : r;
            any = true;
        }
    }
    return any ? extent.size() : 0.0;
}

void KivCustomPlot::wheelEvent(QWheelEvent* event) {
    // Each axis is judged on its own: a time axis grown long on a recording must not stop the
    // operator from zooming the values.
    QCPAxisRect* rect = axisRect();
    const Qt::Orientations zoom = rect->rangeZoom();
    const int d = event->angleDelta().y();
    Qt::Orientations allowed;
    if ((zoom & Qt::Horizontal) && zoomAllowed(xAxis->range().size(), dataSpan(xAxis), d)) {
        allowed |= Qt::Horizontal;
    }
    if ((zoom & Qt::Vertical) && zoomAllowed(yAxis->range().size(), dataSpan(yAxis), d)) {
        allowed |= Qt::Vertical;
    }
    if (!allowed) {
        return;
    }
    rect->setRangeZoom(allowed);
    QCustomPlot::wheelEvent(event);
    rect->setRangeZoom(zoom);
}
