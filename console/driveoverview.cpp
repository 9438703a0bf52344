// The drive overview window.
#include "driveoverview.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QShortcut>
#include <QTableWidgetItem>

#include "ecmaster.h"
#include "model/cia402.h"
#include "model/cia402text.h"
#include "model/scaling.h"
#include "model/stateconfig.h"
#include "ui_driveoverview.h"

namespace {

const QBrush kFaultBrush(QColor(255, 200, 200));

// "0x%08x" of an error word with the texts of its set bits in the operator's language, as the
// definitions name them; the hex alone when the word is 0 or the product type names none.
QString errorWordText(const StateConfig& config, bool driveWord, const QString& productType,
                      uint32_t word) {
    const QString hex = QStringLiteral("0x%1").arg(word, 8, 16, QLatin1Char('0'));
    QStringList texts;
    const bool known = word != 0 && (driveWord ? config.decodeDrvErrorWord(productType, word, texts)
                                               : config.decodeErrorWord(productType, word, texts));
    if (!known) {
        return hex;
    }
    for (QString& text : texts) {
        text = stateTextDisplay(text);
    }
    return hex + QLatin1Char(' ') + texts.join(QStringLiteral(", "));
}

}  // namespace

DriveOverview::DriveOverview(ecmaster* m, const StateConfig* c,
                             std::function<QString(int index)> type, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ui(new Ui::DriveOverview),
      master(m),
      config(c),
      productType(std::move(type)) {
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose, false);
    // STOP under one key here as in the main window.
    auto* stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopKey->setContext(Qt::WindowShortcut);
    connect(stopKey, &QShortcut::activated, this, &DriveOverview::stopRequested);
    // Compact rows; the number columns as wide as their values, the error words take the rest.
    QTableWidget* table = ui->tableWidget_drives;
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(ColErrorWord, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(ColDrvErrorWord, QHeaderView::Stretch);
    connect(&refreshTimer, &QTimer::timeout, this, &DriveOverview::refresh);
    refreshTimer.start(kRefreshMs);
    refresh();
}

DriveOverview::~DriveOverview() {
    delete ui;
}

void DriveOverview::refresh() {
    const int drives = master->isConnected() ? master->driveCount() : 0;
    QTableWidget* table = ui->tableWidget_drives;
    table->setRowCount(drives);
    for (int index = 0; index < drives; ++index) {
        // The state from the same image as the values, not from a second read a cycle later.
        const std::optional<TCiA402_GetValue> in = master->driveInputs(index);
        const Cia402State state =
            in ? cia402StateFromStatusWord(in->statusWord) : Cia402State::Unknown;
        const bool faulted = state == Cia402State::Fault ||
                             state == Cia402State::FaultReactionActive ||
                             (in && (in->errorWord != 0 || in->drvErrorWord != 0));
        const auto cell = [&](int column, const QString& text) {
            QTableWidgetItem* item = table->item(index, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                table->setItem(index, column, item);
            }
            if (item->text() != text) {
                item->setText(text);
            }
            item->setBackground(faulted ? kFaultBrush : QBrush());
        };
        cell(ColIndex, QString::number(index));
        cell(ColSlave, QString::number(master->validDriveList().value(index)));
        // The console's name and the profile's, so that no state is mistaken for another; once
        // where a language names both alike.
        const QString shown = cia402StateDisplayText(state);
        const QString profile = cia402StateNameText(state);
        cell(ColState, state == Cia402State::Unknown || shown == profile
                           ? shown
                           : QStringLiteral("%1 (%2)").arg(shown, profile));
        if (!in) {
            continue;
        }
        cell(ColMode, QString::number(in->modeDisplay));
        cell(ColPosition,
             QString::number(static_cast<double>(rawToPosition(in->position)), 'f', 3));
        cell(ColVelocity,
             QString::number(static_cast<double>(rawToVelocity(in->velocity)), 'f', 3));
        cell(ColTorque, QString::number(static_cast<double>(rawToTorque(in->torque)), 'f', 2));
        cell(ColBusVoltage, QString::number(in->busVoltage));
        cell(ColMcuTemp, QString::number(in->mcuTemp));
        cell(ColMosTemp, QString::number(in->mosTemp));
        cell(ColMotorTemp, QString::number(in->motorTemp));
        const QString type = productType ? productType(index) : QString();
        cell(ColErrorWord, config ? errorWordText(*config, false, type, in->errorWord) : QString());
        cell(ColDrvErrorWord,
             config ? errorWordText(*config, true, type, in->drvErrorWord) : QString());
    }
}

bool DriveOverview::rowMarked(int index) const {
    const QTableWidgetItem* item = ui->tableWidget_drives->item(index, ColIndex);
    return item != nullptr && item->background() == kFaultBrush;
}

QString DriveOverview::rowText(int index) const {
    const QTableWidget* table = ui->tableWidget_drives;
    QStringList cells;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem* item = table->item(index, column);
        cells << (item != nullptr ? item->text() : QString());
    }
    return cells.join(QLatin1Char('\t'));
}

void DriveOverview::on_tableWidget_drives_cellDoubleClicked(int row, int) {
    emit driveActivated(row);
}

void DriveOverview::on_tableWidget_drives_customContextMenuRequested(const QPoint& pos) {
    const int row = ui->tableWidget_drives->rowAt(pos.y());
    if (row < 0) {
        return;
    }
    QMenu menu(this);
    QAction* reset = menu.addAction(tr("Reset fault"));
    QAction* copy = menu.addAction(tr("Copy row"));
    QAction* chosen = menu.exec(ui->tableWidget_drives->viewport()->mapToGlobal(pos));
    if (chosen == reset) {
        emit resetFaultRequested(row);
    } else if (chosen == copy) {
        QGuiApplication::clipboard()->setText(rowText(row));
    }
}
