// The drive mailbox's worker: every transfer the console starts (parameters, dictionaries,
// identities, firmware) runs here, one after the other, so that no window thread ever waits on a
// mailbox exchange. A transfer belongs to an owner (the window that asked); the owner can cancel
// its transfers, and must, before it goes (TransferClient does this for a QObject).
//
// Cancelling raises the flag of the owner's running and queued transfers; a transfer looks at its
// flag before it starts and between exchanges, so a cancelled one ends within its exchange and a
// queued one runs as a no-op that can still tell its owner. An owner that goes drops its queued
// transfers instead: the wait for it is one exchange at most.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TransferWorker {
public:
    using Cancelled = std::atomic<bool>;
    using Job = std::function<void(const Cancelled& cancelled)>;

    TransferWorker();
    ~TransferWorker();
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // Queues `job` behind the transfers already asked for. Ignored once the worker has stopped.
    void post(const void* owner, Job job);
    // Flags `owner`'s running and queued transfers; returns at once.
    void cancel(const void* owner);
    // Drops `owner`'s queued transfers, flags its running one and waits until it has ended.
    void cancelAndWait(const void* owner);
    // Whether `owner` has a transfer queued or running.
    bool busy(const void* owner) const;
    // Cancels everything and ends the thread; later posts are ignored.
    void stop();

private:
    struct Entry {
        const void* owner = nullptr;
        std::shared_ptr<Cancelled> cancelled;
        Job job;
    };

    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;              // a job queued, or stop
    std::condition_variable ended_;             // a job ended
    std::deque<Entry> queue_;                   // guarded by mutex_
    const void* runningOwner_ = nullptr;        // guarded by mutex_
    std::shared_ptr<Cancelled> runningCancel_;  // guarded by mutex_
    bool stopping_ = false;                     // guarded by mutex_
    std::thread thread_;                        // constructor and stop only
};
