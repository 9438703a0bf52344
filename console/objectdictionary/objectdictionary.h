// The object dictionary of a drive as it describes itself over SDO information: objects with
// their entries (type, bit length, access) in a tree, any readable entry read on demand and any
// entry writable in OPERATIONAL written from a typed value, then read back. The parameters of
// 0x6101 carry the names of the parameter page.
//
// Transfers run on a pool thread, one at a time; GUI thread otherwise. STOP under Esc here as in
// the main window. The window must go before the master: its destructor waits for the transfer.
#pragma once

#include <QFutureWatcher>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

#include "ecmaster.h"

namespace Ui {
class ObjectDictionary;
}
class QTreeWidgetItem;

class ObjectDictionary : public QWidget {
    Q_OBJECT

public:
    explicit ObjectDictionary(ecmaster* master, QWidget* parent = nullptr);
    ~ObjectDictionary() override;
    ObjectDictionary(const ObjectDictionary&) = delete;
    ObjectDictionary& operator=(const ObjectDictionary&) = delete;

    bool busy() const { return running; }

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
    // Runs `work` on a pool thread, then `done` here unless the window is going.
    void start(std::function<void()> work, std::function<void()> done);
    void fillTree(const QList<DictionaryObject>& objects);
    void updateButtons();
    void setStatus(const QString& text);
    void readSelected(const QString& prefix);

    Ui::ObjectDictionary* ui = nullptr;
    ecmaster* master = nullptr;  // not owned; outlives the window
    QFutureWatcher<void> watcher;
    std::function<void()> whenDone;
    std::shared_ptr<std::atomic<bool>> cancel;  // shared with the job's thread
    bool running = false;
    bool closing = false;
    int shownDrive = -1;  // the drive whose dictionary the tree shows
};
