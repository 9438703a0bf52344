// Snapshots of what a window shows, compared with reviewed files in the test's data folder.
#pragma once

#include <QtTest>
#include <QtWidgets>

#include <qcustomplot.h>

#include "filebytes.h"

using namespace Qt::StringLiterals;

// What the operator sees of `root`, one line per named widget: whether it shows and takes input,
// its texts, items, cells and plots. Times of day, dates and the machine's paths are masked.
inline QString snapshot(QWidget* root) {
    const auto num = [](double v) { return QString::number(v, 'g', 6); };
    QStringList out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(u"qt_"))
            continue;
        QStringList f{w->objectName(), w->isVisibleTo(root) ? u"shown"_s : u"hidden"_s,
                      w->isEnabled() ? u"on"_s : u"off"_s, w->toolTip()};
        if (auto* l = qobject_cast<QLabel*>(w))
            f << l->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            f << b->text() << (b->isChecked() ? u"checked"_s : QString());
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            f << e->text();
        else if (auto* s = qobject_cast<QAbstractSpinBox*>(w))
            f << s->text();
        else if (auto* c = qobject_cast<QComboBox*>(w); c && c->objectName() != u"comboBox_item")
            for (int i = -1; i < c->count(); ++i)  // the current one first
                f << c->itemText(i < 0 ? c->currentIndex() : i);
        else if (auto* t = qobject_cast<QTextEdit*>(w))
            f << t->toPlainText();
        else if (auto* pt = qobject_cast<QPlainTextEdit*>(w))
            f << pt->toPlainText();
        else if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model())
            for (int r = 0; r < v->model()->rowCount(); ++r)
                for (int col = 0; col < v->model()->columnCount(); ++col)
                    for (const int role : {Qt::DisplayRole, Qt::ToolTipRole, Qt::CheckStateRole})
                        f << v->model()->index(r, col).data(role).toString();
        else if (auto* p = qobject_cast<QCustomPlot*>(w)) {
            for (const auto type : {QCPAxis::atLeft, QCPAxis::atRight, QCPAxis::atBottom})
                for (QCPAxis* a : p->axisRect()->axes(type))
                    f << a->label() << num(a->range().lower) << num(a->range().upper)
                      << QString::number(a->ticker()->tickCount());
            for (int i = 0; i < p->graphCount(); ++i) {
                const QCPGraph* g = p->graph(i);
                f << g->name() << g->pen().color().name() << QString::number(g->lineStyle())
                  << QString::number(g->data()->size());
                for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it)
                    f << num(it->key) + u'=' + num(it->value);
            }
            for (int i = 0; i < p->itemCount(); ++i)
                for (const QCPItemPosition* at : p->item(i)->positions())
                    f << num(at->coords().x()) + u',' + num(at->coords().y());
        }
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
    const QString got = snapshot(root);
    if (qEnvironmentVariableIsSet("ZENTRIO_UPDATE_SNAPSHOTS"))
        QVERIFY(writeFile(path, got.toUtf8()));
    const QStringList have = got.split(u'\n'),
                      want = QString::fromUtf8(fileBytes(path)).split(u'\n');
    for (qsizetype i = 0; i < std::max(have.size(), want.size()); ++i)
        QCOMPARE(u"%1: %2"_s.arg(i + 1).arg(have.value(i)),
                 u"%1: %2"_s.arg(i + 1).arg(want.value(i)));
}
