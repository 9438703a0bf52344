#include "transferworker.h"

#include <algorithm>

TransferWorker::TransferWorker() : thread_([this] { run(); }) {}

TransferWorker::~TransferWorker() {
    stop();
}

void TransferWorker::post(const void* owner, Job job) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            return;
        }
        queue_.push_back(Entry{owner, std::make_shared<Cancelled>(false), std::move(job)});
    }
    wake_.notify_one();
}

void TransferWorker::cancel(const void* owner) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& e : queue_) {
        if (e.owner == owner) {
            e.cancelled->store(true);
        }
    }
    if (runningOwner_ == owner && runningCancel_) {
        runningCancel_->store(true);
    }
}

void TransferWorker::cancelAndWait(const void* owner) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::erase_if(queue_, [owner](const Entry& e) { return e.owner == owner; });
    if (runningOwner_ == owner && runningCancel_) {
        runningCancel_->store(true);
    }
    ended_.wait(lock, [this, owner] { return runningOwner_ != owner; });
}

bool TransferWorker::busy(const void* owner) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return runningOwner_ == owner ||
           std::any_of(queue_.begin(), queue_.end(),
                       [owner](const Entry& e) { return e.owner == owner; });
}

void TransferWorker::stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
        if (runningCancel_) {
            runningCancel_->store(true);
        }
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TransferWorker::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) {
            return;
        }
        Entry entry = std::move(queue_.front());
        queue_.pop_front();
        runningOwner_ = entry.owner;
        runningCancel_ = entry.cancelled;
        lock.unlock();
        entry.job(*entry.cancelled);
        entry.job = nullptr;  // whatever the job captured goes before the owner may
        lock.lock();
        runningOwner_ = nullptr;
        runningCancel_.reset();
        ended_.notify_all();
    }
}
