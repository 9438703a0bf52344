// Every drive of the bus at a glance: one row per drive with its CiA 402 state, mode, values,
// temperatures and decoded error words, refreshed five times a second from the input images the
// cycle already receives (no bus traffic of its own). Rows of faulted drives are marked.
//
// GUI thread only. The window asks its owner for everything that acts on a drive: it emits the
// drive the operator double-clicked, the reset asked for from a row's menu, and STOP under Esc.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

class StateConfig;
class ecmaster;

namespace Ui {
class DriveOverview;
}

class DriveOverview : public QWidget {
    Q_OBJECT

public:
    // `productType(index)` gives the product type that decodes drive `index`'s error words.
    DriveOverview(ecmaster* master, const StateConfig* config,
                  std::function<QString(int index)> productType, QWidget* parent = nullptr);
    ~DriveOverview() override;
    DriveOverview(const DriveOverview&) = delete;
    DriveOverview& operator=(const DriveOverview&) = delete;

    // Columns of the table.
    enum Column : int {
        ColIndex,
        ColSlave,
        ColState,
        ColMode,
        ColPosition,
        ColVelocity,
        ColTorque,
        ColBusVoltage,
        ColMcuTemp,
        ColMosTemp,
        ColMotorTemp,
        ColErrorWord,
        ColDrvErrorWord,
    };
    static constexpr int kRefreshMs = 200;

    // Reads every drive's last input image into its row.
    void refresh();
    // Whether the row of a drive is marked as faulted.
    bool rowMarked(int index) const;
    // A drive's row as its cells' texts separated by tabs, as "Copy row" puts it on the clipboard
    // (it pastes into a report or a spreadsheet as one row).
    QString rowText(int index) const;

signals:
    void driveActivated(int index);
    void resetFaultRequested(int index);
    void stopRequested();

private slots:
    void on_tableWidget_drives_cellDoubleClicked(int row, int column);
    void on_tableWidget_drives_customContextMenuRequested(const QPoint& pos);

private:
    Ui::DriveOverview* ui = nullptr;
    ecmaster* master = nullptr;           // not owned; outlives the window
    const StateConfig* config = nullptr;  // not owned
    std::function<QString(int index)> productType;
    QTimer refreshTimer;
};
