// The object dictionary of a drive as it describes itself over SDO information: objects with
// their entries (type, bit length, access) in a tree, any readable entry read on demand and any
// entry writable in OPERATIONAL written from a typed value, then read back. The parameters of
// 0x6101 carry the names of the parameter page.
//
// Transfers run on the master's transfer worker, one at a time; GUI thread otherwise. Writes pass
// the console's gate. STOP under Esc here as in the main window. Closing waits for one exchange
// at most; the window may outlive the master.
#pragma once

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

#include "ecmaster.h"

namespace Ui {
class ObjectDictionary;
}
class QTreeWidgetItem;
class TransferClient;

class ObjectDictionary : public QWidget {
    Q_OBJECT

public:
    explicit ObjectDictionary(ecmaster* master, QWidget* parent = nullptr);
    ~ObjectDictionary() override;
    ObjectDictionary(const ObjectDictionary&) = delete;
    ObjectDictionary& operator=(const ObjectDictionary&) = delete;

    bool busy() const { return running; }
    // Asked before every write: false refuses it (the gate logs why).
    void setWriteGate(std::function<bool()> gate);

public slots:
    // The bus went down or came up: transfers are cancelled and a dictionary of another bus is
    // forgotten.
    void busChanged();

signals:
    void stopRequested();
    void jobDone();  // a transfer is over and its outcome shown

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void on_pushButton_readDictionary_clicked();
    void on_pushButton_readEntry_clicked();
    void on_pushButton_writeEntry_clicked();
    void on_treeWidget_objects_currentItemChanged(QTreeWidgetItem* current);

private:
    // Runs `work` on the transfer worker, then `done(result)` here.
    template <typename Work, typename Done>
    void start(Work work, Done done);
    void fillTree(const QList<DictionaryObject>& objects);
    void updateButtons();
    void setStatus(const QString& text);
    void readSelected(const QString& prefix);
    QTreeWidgetItem* findEntryRow(const QString& name) const;

    Ui::ObjectDictionary* ui = nullptr;
    ecmaster* master = nullptr;  // not owned; outlives the window
    std::function<bool()> writeGate;
    bool running = false;
    int shownDrive = -1;                        // the drive whose dictionary the tree shows
    uint64_t shownSession = 0;                  // the bus session it was read in
    std::unique_ptr<TransferClient> transfers;  // last: goes first
};
