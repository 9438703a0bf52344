#include "plotexport.h"

#include <qcustomplot.h>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

namespace {

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// PDF comes from QCustomPlot as a file name only: written beside the target, then renamed over it.
bool savePdfAtomically(QCustomPlot& plot, const QString& path, QString* error) {
    QTemporaryFile tmp(path + QStringLiteral(".XXXXXX"));
    if (!tmp.open()) {
        *error = tmp.errorString();
        return false;
    }
    tmp.close();
    if (!plot.savePdf(tmp.fileName())) {
        *error = QCoreApplication::translate("PlotExport", "the PDF could not be written");
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(tmp.fileName().toStdString(), path.toStdString(), ec);
    if (ec) {
        *error = QString::fromStdString(ec.message());
        return false;
    }
    tmp.setAutoRemove(false);
    return true;
}

}  // namespace

QString plotCsv(const QCustomPlot& plot) {
    std::vector<const QCPGraph*> shown;
    for (int i = 0; i < plot.graphCount(); ++i) {
        if (plot.graph(i)->visible()) {
            shown.push_back(plot.graph(i));
        }
    }
    QString out = QStringLiteral("Time (s)");  // file format: never translated
    for (const QCPGraph* g : shown) {
        out += QLatin1Char(',') + csvField(g->name());
    }
    out += QLatin1Char('\n');

    std::map<double, std::vector<std::optional<double>>> rows;
    for (size_t c = 0; c < shown.size(); ++c) {
        const QCPRange visible = shown[c]->keyAxis()->range();
        const auto data = shown[c]->data();
        for (auto it = data->findBegin(visible.lower, false);
             it != data->constEnd() && it->key <= visible.upper; ++it) {
            auto& row = rows[it->key];
            row.resize(shown.size());
            row[c] = it->value;
        }
    }
    for (const auto& [key, values] : rows) {
        out += QString::number(key, 'g', 12);
        for (const auto& v : values) {
            out += QLatin1Char(',');
            if (v) {
                out += QString::number(*v, 'g', 10);
            }
        }
        out += QLatin1Char('\n');
    }
    return out;
}

bool exportPlot(QCustomPlot& plot, const QString& path, QString* error) {
    QString ignored;
    if (error == nullptr) {
        error = &ignored;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf")) {
        return savePdfAtomically(plot, path, error);
    }
    if (suffix != QLatin1String("csv") && suffix != QLatin1String("png")) {
        *error = QCoreApplication::translate("PlotExport",
                                             "unknown file type \"%1\": choose .csv, .png or .pdf")
                     .arg(suffix);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    const bool written = suffix == QLatin1String("csv") ? file.write(plotCsv(plot).toUtf8()) >= 0
                                                        : plot.toPixmap().save(&file, "PNG");
    if (!written) {
        file.cancelWriting();
        *error = QCoreApplication::translate("PlotExport", "the file could not be written");
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
