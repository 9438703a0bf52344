#pragma once

#include <qcustomplot.h>

// QCustomPlot whose wheel zoom stops at sane spans, so a stray scroll cannot lose the trace.
class KivCustomPlot : public QCustomPlot {
    Q_OBJECT

public:
    explicit KivCustomPlot(QWidget* parent = nullptr);

    // Spans (upper - lower) of either axis outside which the wheel no longer zooms further.
    static constexpr double kMaxZoomSpan = 1000.0;
    static constexpr double kMinZoomSpan = 0.01;

protected:
    void wheelEvent(QWheelEvent* event) override;
};
