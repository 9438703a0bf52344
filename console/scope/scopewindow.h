// The scope window: the channel table, the trigger box, Run/Stop and the files over a ScopeTool,
// and the plot of the last recording (or the roll view) against time, the trigger at t = 0, with
// the overlay, event markers (their text on hover) and two cursors with a read-out. It only
// draws: state and actions live in the tool.
#pragma once

#include <QWidget>

#include <memory>
#include <vector>

#include "scopetool.h"

namespace Ui {
class ScopeWindow;
}
class QCPItemStraightLine;

class ScopeWindow : public QWidget {
    Q_OBJECT

public:
    explicit ScopeWindow(ecmaster* master, QWidget* parent = nullptr);
    ~ScopeWindow() override;
    ScopeWindow(const ScopeWindow&) = delete;
    ScopeWindow& operator=(const ScopeWindow&) = delete;

    ScopeTool* tool() const { return scopeTool; }
    // The two cursors' times in s, for the read-out.
    void setCursors(double a, double b);

public slots:
    // The bus went down or came up: the drive combos follow it.
    void busChanged();

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void on_pushButton_addChannel_clicked();
    void on_pushButton_run_clicked();
    void on_pushButton_stop_clicked();
    void on_pushButton_trigger_clicked();
    void on_pushButton_save_clicked();
    void on_pushButton_open_clicked();
    void on_pushButton_overlay_clicked();
    void on_pushButton_exportCsv_clicked();
    void on_pushButton_exportPng_clicked();
    void on_checkBox_separateAxes_toggled(bool checked);

private:
    struct Marker {
        double time;
        QString text;
    };

    void fillChannelTable();
    void readChannelRow(int row);
    void fillTriggerChannels();
    void applySettings();
    void showSettings();
    void updateButtons();
    void showRecording(std::shared_ptr<const scope::Recording> recording);
    void redraw();
    void updateReadout();
    void setStatus(const QString& text);
    QString askFile(bool saving, const QString& filter);
    double cursorTime(int which) const;

    Ui::ScopeWindow* ui = nullptr;
    ScopeTool* scopeTool = nullptr;
    std::shared_ptr<const scope::Recording> shown;
    std::vector<Marker> markers;
    QCPItemStraightLine* cursor[2] = {nullptr, nullptr};
    int dragging = -1;     // the cursor being dragged
    bool ownEdit = false;  // the tool's change comes from this window's widgets
    bool recordedThisRun = false;
};
