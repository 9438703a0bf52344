// A window's handle on the transfer worker: runs work on the worker and hands its result to the
// window on the window's own thread. Declare it as the window's last member: its destructor runs
// first, cancels the window's transfers and waits for the running one (one exchange at most), so
// no transfer outlives the window it reports to, and results still queued are dropped with the
// window.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <functional>
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

    // `work(cancelled)` on the worker, then `done(result)` on the owner's thread. A transfer
    // cancelled before it started does no work and calls `dropped()` instead, so the owner can
    // put back what it marked as pending. `work` reaches the master only, never the owner's
    // widgets.
    template <typename Work, typename Done>
    void run(Work work, Done done, std::function<void()> dropped = {}) {
        if (master_.isNull()) {
            return;
        }
        QObject* const owner = owner_;
        master_->transfers().post(owner, [owner, work = std::move(work), done = std::move(done),
                                          dropped = std::move(dropped)](
                                             const TransferWorker::Cancelled& cancelled) mutable {
            if (cancelled) {
                if (dropped) {
                    QMetaObject::invokeMethod(owner, dropped, Qt::QueuedConnection);
                }
                return;
            }
            auto result = work(cancelled);
            QMetaObject::invokeMethod(
                owner, [done, result = std::move(result)]() mutable { done(std::move(result)); },
                Qt::QueuedConnection);
        });
    }
    // Flags the queued and the running transfers; returns at once.
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
