// Snapshots of what a window shows, compared with reviewed files in the test's data folder.
#pragma once

#include <QtTest>
#include <QtWidgets>

#include <qcustomplot.h>

#include <functional>

#include "filebytes.h"

using namespace Qt::StringLiterals;

// Every text a widget shows or offers: its title, tooltip and text properties, its actions and
// their menus, tabs, combo items, table headers and cells (200 rows a level), plot axes and curves.
inline QStringList widgetTexts(QWidget* w) {
    QStringList out;
    if (w->isWindow())
        out << w->windowTitle();
    std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
        for (QAction* a : actions) {
            // Each language is offered under its own name.
            if (!a->objectName().startsWith(u"actionLanguage"_s) || !a->isCheckable())
                out << a->text() << a->toolTip();
            if (a->menu())
                out << a->menu()->title(), walk(a->menu()->actions());
        }
    };
    walk(w->actions());
    for (const char* p : {"toolTip", "text", "title", "placeholderText", "specialValueText",
                          "prefix", "suffix", "plainText"})
        out << w->property(p).toString();
    if (auto* t = qobject_cast<QTabWidget*>(w)) {
        for (int i = 0; i < t->count(); ++i)
            out << t->tabText(i) << t->tabToolTip(i);
    } else if (auto* c = qobject_cast<QComboBox*>(w); c && c->objectName() != u"comboBox_item") {
        // The adapters (left out) are device names as the system reports them.
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
    } else if (auto* v = qobject_cast<QAbstractItemView*>(w); v && !qobject_cast<QHeaderView*>(w)) {
        const QAbstractItemModel* m = v->model();
        for (int col = 0; m && col < m->columnCount(); ++col)
            out << m->headerData(col, Qt::Horizontal).toString();
        std::function<void(const QModelIndex&)> rows = [&](const QModelIndex& parent) {
            for (int r = 0; m && r < std::min(m->rowCount(parent), 200); ++r) {
                out << m->headerData(r, Qt::Vertical).toString();
                for (int col = 0; col < m->columnCount(parent); ++col) {
                    const QModelIndex i = m->index(r, col, parent);
                    const QVariant mark = i.data(Qt::BackgroundRole);  // a row marked in colour
                    out << i.data().toString() << i.data(Qt::ToolTipRole).toString()
                        << i.data(Qt::CheckStateRole).toString()
                        << (mark.isValid() ? mark.value<QBrush>().color().name() : QString());
                }
                rows(m->index(r, 0, parent));  // a tree's rows under this one
            }
        };
        rows({});
    } else if (auto* plot = qobject_cast<QCustomPlot*>(w)) {
        for (const auto type : {QCPAxis::atLeft, QCPAxis::atRight, QCPAxis::atBottom})
            for (QCPAxis* axis : plot->axisRect()->axes(type))
                out << axis->label();
        for (int i = 0; i < plot->graphCount(); ++i)
            out << plot->graph(i)->name();
    }
    return out;
}

// What the operator sees of `root`, one line per named widget: whether it shows, takes input and
// may be edited, its texts, its choice, and its plots' ranges, pens and points. Times of day,
// dates and the machine's paths are masked.
inline QString snapshot(QWidget* root) {
    const auto num = [](double v) { return QString::number(v, 'g', 6); };
    QStringList out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(u"qt_"))
            continue;
        QStringList f{w->objectName(),
                      w->isVisibleTo(root) ? u"shown"_s : u"hidden"_s,
                      w->isEnabled() ? u"on"_s : u"off"_s,
                      w->property("checked").toBool() ? u"checked"_s : QString(),
                      w->property("readOnly").toBool() ? u"read-only"_s : QString(),
                      w->property("currentText").toString()};
        f << widgetTexts(w);
        if (auto* p = qobject_cast<QCustomPlot*>(w)) {
            f << u"legend %1 %2"_s.arg(p->legend->visible()).arg(p->legend->itemCount());
            for (const auto type : {QCPAxis::atLeft, QCPAxis::atRight, QCPAxis::atBottom})
                for (QCPAxis* a : p->axisRect()->axes(type))  // in the order of their labels
                    f << num(a->range().lower) << num(a->range().upper)
                      << QString::number(a->ticker()->tickCount());
            for (int i = 0; i < p->graphCount(); ++i) {
                const QCPGraph* g = p->graph(i);
                f << g->pen().color().name() << num(g->pen().widthF())
                  << QString::number(g->lineStyle()) << QString::number(g->data()->size());
                for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it)
                    f << num(it->key) + u'=' + num(it->value);
            }
            for (int i = 0; i < p->itemCount(); ++i) {
                const QPen pen = p->item(i)->property("pen").value<QPen>();  // lines and texts
                f << pen.color().name(QColor::HexArgb) << num(pen.widthF()) << num(pen.style());
                for (const QCPItemPosition* at : p->item(i)->positions())
                    f << num(at->coords().x()) + u',' + num(at->coords().y());
            }
        }
        while (!f.isEmpty() && f.last().isEmpty())
            f.removeLast();
        out << f.join(u" | ");
    }
    static const QRegularExpression varying(
        uR"(\d\d:\d\d:\d\d(\.\d+)?|\d{4}-\d\d-\d\d|\d{8}_\d{6}|/tmp/[^\s|]*)"_s);
    return out.join(u'\n')
        .replace(QStringLiteral(ZENTRIO_BINARY_DIR), u"<build>"_s)
        .replace(varying, u"~"_s);
}

// Compares the snapshot with data/<name>.snapshot; ZENTRIO_UPDATE_SNAPSHOTS=1 writes it anew
// (review the difference before committing it).
inline void compareSnapshot(const QString& name, QWidget* root) {
    const QString path = QStringLiteral(ZENTRIO_TEST_DATA_DIR "/") + name + u".snapshot"_s;
    const QString kept = QString::fromUtf8(fileBytes(path));
    // A window on a live bus may still take results a worker posted before the step it waited
    // for: the view gets a moment to settle.
    (void)QTest::qWaitFor([&] { return snapshot(root) == kept; }, 2000);  // then compared below
    const QString got = snapshot(root);
    if (qEnvironmentVariableIsSet("ZENTRIO_UPDATE_SNAPSHOTS"))
        QVERIFY(writeFile(path, got.toUtf8()));
    const QStringList have = got.split(u'\n'), want = kept.split(u'\n');
    for (qsizetype i = 0; i < std::max(have.size(), want.size()); ++i)
        QCOMPARE(u"%1: %2"_s.arg(i + 1).arg(have.value(i)),
                 u"%1: %2"_s.arg(i + 1).arg(want.value(i)));
}
