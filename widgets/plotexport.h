// Keeping a plot: its visible curves as CSV, the picture as PNG or PDF.
#pragma once

#include <QString>

class QCustomPlot;

// The curves shown (graphs whose visibility is on) over the time axis's visible range, as CSV:
// a header "Time (s)" and one column per curve by its name, then one row per time at which any
// curve has a point, oldest first; a curve without a point at that time leaves its cell empty.
QString plotCsv(const QCustomPlot& plot);

// Writes the plot to `path` by its suffix: .csv (plotCsv), .png or .pdf (the picture as shown).
// The file appears whole or not at all. False with `error` set when it could not be written; the
// error is for the operator, translated (context "PlotExport").
bool exportPlot(QCustomPlot& plot, const QString& path, QString* error);
