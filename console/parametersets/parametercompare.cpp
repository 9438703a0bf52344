#include "parametercompare.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QTableWidgetItem>

#include "ui_parametercompare.h"

namespace {

enum Column { kTick, kName, kLeft, kRight };

const QBrush kDiffersBrush(QColor(255, 228, 160));

}  // namespace

ParameterCompareDialog::ParameterCompareDialog(QWidget* parent)
    : QDialog(parent), ui(new Ui::ParameterCompareDialog) {
    ui->setupUi(this);
    QTableWidget* table = ui->tableWidget_rows;
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The two values share what the names leave.
    table->horizontalHeader()->setSectionResizeMode(kLeft, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(kRight, QHeaderView::Stretch);
    connect(table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == kTick) {
            updateWriteButton();
        }
    });
}

ParameterCompareDialog::~ParameterCompareDialog() {
    delete ui;
}

void ParameterCompareDialog::setImportMode(const QString& fileTitle, const QString& driveTitle) {
    importing = true;
    setWindowTitle(tr("Import parameters: %1 into %2").arg(fileTitle, driveTitle));
    ui->widget_sources->hide();
    ui->tableWidget_rows->showColumn(kTick);
    ui->pushButton_tickDiffering->show();
    ui->pushButton_untickAll->show();
    ui->pushButton_write->show();
}

void ParameterCompareDialog::setCompareMode(const QStringList& drives) {
    importing = false;
    setWindowTitle(tr("Compare drives"));
    ui->widget_sources->show();
    ui->comboBox_left->clear();
    ui->comboBox_right->clear();
    for (int i = 0; i < drives.size(); ++i) {
        ui->comboBox_left->addItem(drives[i], i);
        ui->comboBox_right->addItem(drives[i], i);
    }
    ui->comboBox_right->addItem(tr("File…"), kFileSource);
    ui->comboBox_right->setCurrentIndex(drives.size() > 1 ? 1 : 0);
    ui->tableWidget_rows->hideColumn(kTick);
    ui->pushButton_tickDiffering->hide();
    ui->pushButton_untickAll->hide();
    ui->pushButton_write->hide();
}

void ParameterCompareDialog::showRows(const QList<ParameterCompareRow>& rows,
                                      const QString& leftTitle, const QString& rightTitle) {
    rows_ = rows;
    QTableWidget* table = ui->tableWidget_rows;
    const QSignalBlocker quiet(table);
    table->setHorizontalHeaderItem(kLeft, new QTableWidgetItem(leftTitle));
    table->setHorizontalHeaderItem(kRight, new QTableWidgetItem(rightTitle));
    table->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const ParameterCompareRow& row = rows[r];
        auto* tick = new QTableWidgetItem;
        // Only a row the file has and the drive can take is offered for writing.
        if (row.writable && !row.left.isEmpty()) {
            tick->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
            tick->setCheckState(Qt::Unchecked);
        } else {
            tick->setFlags(Qt::NoItemFlags);
            tick->setToolTip(row.writable ? tr("Not in the file") : tr("Read-only"));
        }
        table->setItem(r, kTick, tick);
        // Shown in the operator's language; the row keeps the table's name.
        const QString shown =
            QCoreApplication::translate("ParamTable", row.name.toUtf8().constData());
        const QString name = row.id >= 0 ? QStringLiteral("%1  %2").arg(row.id).arg(shown) : shown;
        const QStringList cells{name, row.left, row.right};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (row.differs) {
                item->setBackground(kDiffersBrush);
            }
            table->setItem(r, kName + c, item);
        }
    }
    ui->label_summary->setText(
        tr("Differing parameters: %1").arg(differingRows()) +
        (importing ? tr("; only ticked rows are written, identity rows never.") : QString()));
    updateWriteButton();
}

QList<int> ParameterCompareDialog::tickedIds() const {
    QList<int> ids;
    for (int r = 0; r < rows_.size(); ++r) {
        const QTableWidgetItem* tick = ui->tableWidget_rows->item(r, kTick);
        if (tick != nullptr && (tick->flags() & Qt::ItemIsUserCheckable) &&
            tick->checkState() == Qt::Checked) {
            ids.append(rows_[r].id);
        }
    }
    return ids;
}

int ParameterCompareDialog::differingRows() const {
    return static_cast<int>(
        std::count_if(rows_.cbegin(), rows_.cend(), [](const auto& r) { return r.differs; }));
}

void ParameterCompareDialog::setBusy(bool busy) {
    busy_ = busy;
    ui->pushButton_compare->setEnabled(!busy);
    ui->pushButton_tickDiffering->setEnabled(!busy);
    ui->pushButton_untickAll->setEnabled(!busy);
    updateWriteButton();
}

void ParameterCompareDialog::updateWriteButton() {
    ui->pushButton_write->setEnabled(importing && !busy_ && !tickedIds().isEmpty());
}

void ParameterCompareDialog::on_pushButton_compare_clicked() {
    emit compareRequested(ui->comboBox_left->currentData().toInt(),
                          ui->comboBox_right->currentData().toInt());
}

void ParameterCompareDialog::on_pushButton_tickDiffering_clicked() {
    for (int r = 0; r < rows_.size(); ++r) {
        QTableWidgetItem* tick = ui->tableWidget_rows->item(r, kTick);
        if (rows_[r].differs && (tick->flags() & Qt::ItemIsUserCheckable)) {
            tick->setCheckState(Qt::Checked);
        }
    }
}

void ParameterCompareDialog::on_pushButton_untickAll_clicked() {
    for (int r = 0; r < rows_.size(); ++r) {
        QTableWidgetItem* tick = ui->tableWidget_rows->item(r, kTick);
        if (tick->flags() & Qt::ItemIsUserCheckable) {
            tick->setCheckState(Qt::Unchecked);
        }
    }
}

void ParameterCompareDialog::on_pushButton_write_clicked() {
    const QList<int> ids = tickedIds();
    if (!ids.isEmpty()) {
        emit writeRequested(ids);
    }
}
