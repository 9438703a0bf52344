// The comparison table of two parameter sets: one row per parameter with both values, the rows
// that differ marked. Importing, the operator ticks the rows to write into the drive (identity
// rows never take a tick); comparing, the two sources are picked above the table.
//
// A view only: the transfers behind "Compare" and "Write ticked" are the owner's.
#pragma once

#include <QDialog>
#include <QList>

#include "parameterset.h"

namespace Ui {
class ParameterCompareDialog;
}

class ParameterCompareDialog : public QDialog {
    Q_OBJECT

public:
    // Where a side of a comparison comes from: a drive of the bus by index, or a file.
    static constexpr int kFileSource = -1;

    explicit ParameterCompareDialog(QWidget* parent = nullptr);
    ~ParameterCompareDialog() override;
    ParameterCompareDialog(const ParameterCompareDialog&) = delete;
    ParameterCompareDialog& operator=(const ParameterCompareDialog&) = delete;

    // Import: no source choice, ticks and "Write ticked".
    void setImportMode(const QString& fileTitle, const QString& driveTitle);
    // Compare: sources to choose from (drive names by index; the right side also offers a file).
    void setCompareMode(const QStringList& drives);

    void showRows(const QList<ParameterCompareRow>& rows, const QString& leftTitle,
                  const QString& rightTitle);
    QList<int> tickedIds() const;
    int differingRows() const;
    // Greys out everything that starts a transfer while one runs.
    void setBusy(bool busy);

signals:
    void compareRequested(int leftDrive, int rightSource);
    void writeRequested(const QList<int>& ids);

private slots:
    void on_pushButton_compare_clicked();
    void on_pushButton_tickDiffering_clicked();
    void on_pushButton_untickAll_clicked();
    void on_pushButton_write_clicked();

private:
    void updateWriteButton();

    Ui::ParameterCompareDialog* ui = nullptr;
    bool importing = false;
    bool busy_ = false;
    QList<ParameterCompareRow> rows_;
};
