// A window's handle on the transfer worker: runs work on the worker and hands its result to the
// window on the window's own thread. Declare it as the window's last member: its destructor runs
// first, cancels the window's transfers and waits for the running one (one exchange at most), so
// no transfer outlives the window it reports to, and results still queued are dropped with the
// window.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <type_traits>
#include <utility>

#include "ecmaster.h"
#include "transferworker.h"

class TransferClient {
public:
    TransferClient(ecmaster* master, QObject* owner) : master_(master), owner_(owner) {}
    ~TransferClient() { cancelAndWait(); }
    TransferClient(const TransferClient&) = delete;
    TransferClient& operator=(const TransferClient&) = delete;

    // `work(cancelled)` on the worker, then `done(result)` on the owner's thread. `work` reaches
    // the master only, never the owner's widgets.
    template <typename Work, typename Done>
    void run(Work work, Done done) {
        if (master_.isNull()) {
            return;
        }
        QObject* const owner = owner_;
        master_->transfers().post(owner, [owner, work = std::move(work), done = std::move(done)](
                                             const TransferWorker::Cancelled& cancelled) mutable {
            auto result = work(cancelled);
            QMetaObject::invokeMethod(
                owner, [done, result = std::move(result)]() mutable { done(std::move(result)); },
                Qt::QueuedConnection);
        });
    }
    // Drops the queued transfers and flags the running one; returns at once.
    void cancel() {
        if (!master_.isNull()) {
            master_->transfers().cancel(owner_);
        }
    }
    void cancelAndWait() {
        if (!master_.isNull()) {
            master_->transfers().cancelAndWait(owner_);
        }
    }
    bool busy() const { return !master_.isNull() && master_->transfers().busy(owner_); }

private:
    QPointer<ecmaster> master_;  // the master stops the worker when it goes
    QObject* owner_;
};
