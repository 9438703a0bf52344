#include "periodictimer.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

// Locking all memory under a sanitizer would pin its shadow regions; the timer does without.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZENTRIO_TIMER_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZENTRIO_TIMER_SANITIZED 1
#endif
#endif

namespace {

constexpr int64_t kNsPerMs = 1'000'000;
// A sleep longer than this is cut into pieces, so that a stop is seen without waiting out a long
// one-shot delay.
constexpr int64_t kLongestSleepNs = 20 * kNsPerMs;
constexpr int kRealtimePriority = 80;

struct Timer {
    uint32_t id = 0;
    TimerCallback callback = nullptr;
    uintptr_t user = 0;
    int64_t periodNs = 0;
    bool periodic = false;
    std::atomic<bool> stop{false};
    std::thread thread;  // joined or detached by timeKillEvent (or at process exit)

    ~Timer() {
        if (!thread.joinable()) {
            return;
        }
        stop.store(true);
        if (thread.get_id() == std::this_thread::get_id()) {
            thread.detach();
        } else {
            thread.join();
        }
    }
};

std::mutex registryMutex;
std::map<uint32_t, std::shared_ptr<Timer>> registry;  // guarded by registryMutex
uint32_t nextId = 1;                                  // guarded by registryMutex

std::atomic<bool> lastThreadRealtime{false};
std::atomic<bool> memoryLocked{false};

thread_local int64_t currentDeadlineNs = 0;  // timer thread only
thread_local const Timer* currentTimer = nullptr;

timespec toTimespec(int64_t ns) {
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

#ifndef ZENTRIO_TIMER_SANITIZED
// CAP_IPC_LOCK in the effective set: locked memory is then not bounded by RLIMIT_MEMLOCK.
bool mayLockWithoutLimit() {
    constexpr int kCapIpcLock = 14;
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) {
        return false;
    }
    char line[256];
    unsigned long long caps = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f) != nullptr) {
        found = std::sscanf(line, "CapEff: %llx", &caps) == 1;
    }
    std::fclose(f);
    return found && (caps >> kCapIpcLock) & 1u;
}
#endif

// Memory of a real-time process must not page; only done where locking cannot make later
// allocations fail (no lock limit, or the privilege to exceed it), and only once.
void lockMemoryOnce() {
#ifndef ZENTRIO_TIMER_SANITIZED
    static std::once_flag once;
    std::call_once(once, [] {
        rlimit limit{};
        const bool unlimited =
            getrlimit(RLIMIT_MEMLOCK, &limit) == 0 && limit.rlim_cur == RLIM_INFINITY;
        if (!unlimited && !mayLockWithoutLimit()) {
            return;
        }
        int flags = MCL_CURRENT | MCL_FUTURE;
#ifdef MCL_ONFAULT
        flags |= MCL_ONFAULT;  // lock pages as they are touched, without faulting in everything
#endif
        memoryLocked = mlockall(flags) == 0;
    });
#endif
}

void becomeRealtime() {
    sched_param param{};
    param.sched_priority =
        std::min(kRealtimePriority, std::max(1, sched_get_priority_max(SCHED_FIFO)));
    // Refused (no privilege): the thread stays as it is.
    lastThreadRealtime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

// Sleeps until the absolute deadline; returns false when a stop came first.
bool sleepUntil(int64_t deadlineNs, const std::atomic<bool>& stop) {
    while (!stop.load(std::memory_order_acquire)) {
        const int64_t now = timerMonotonicNowNs();
        if (now >= deadlineNs) {
            return true;
        }
        const timespec ts = toTimespec(std::min(deadlineNs, now + kLongestSleepNs));
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
    }
    return false;
}

void runTimer(std::shared_ptr<Timer> timer, int64_t firstDeadlineNs) {
    becomeRealtime();
    int64_t deadline = firstDeadlineNs;
    while (sleepUntil(deadline, timer->stop)) {
        currentDeadlineNs = deadline;
        currentTimer = timer.get();
        timer->callback(timer->id, 0, timer->user, 0, 0);
        currentTimer = nullptr;
        currentDeadlineNs = 0;
        if (!timer->periodic) {
            return;
        }
        deadline += timer->periodNs;
        // Overrun: continue at the next grid point still ahead instead of calling in a burst.
        const int64_t now = timerMonotonicNowNs();
        if (now > deadline) {
            deadline += ((now - deadline) / timer->periodNs + 1) * timer->periodNs;
        }
    }
}

}  // namespace

int64_t timerMonotonicNowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool timerThreadIsRealtime() {
    return lastThreadRealtime.load();
}

bool timerMemoryIsLocked() {
    return memoryLocked.load();
}

int64_t timerCurrentDeadlineNs() {
    return currentDeadlineNs;
}

uint32_t timeSetEvent(uint32_t delayMs, uint32_t /*resolutionMs*/, TimerCallback cb, uintptr_t user,
                      uint32_t flags) {
    if (delayMs == 0 || cb == nullptr) {
        return 0;
    }
    lockMemoryOnce();
    auto timer = std::make_shared<Timer>();
    timer->callback = cb;
    timer->user = user;
    timer->periodNs = int64_t{delayMs} * kNsPerMs;
    timer->periodic = (flags & TIME_PERIODIC) != 0;

    std::lock_guard lock(registryMutex);
    uint32_t id = nextId++;
    if (id == 0) {  // wrapped: 0 means failure to the caller
        id = nextId++;
    }
    timer->id = id;
    try {
        timer->thread = std::thread(runTimer, timer, timerMonotonicNowNs() + timer->periodNs);
    } catch (const std::system_error&) {
        return 0;
    }
    registry.emplace(id, std::move(timer));
    return id;
}

uint32_t timeKillEvent(uint32_t id) {
    std::shared_ptr<Timer> timer;
    {
        std::lock_guard lock(registryMutex);
        const auto it = registry.find(id);
        if (it == registry.end()) {
            return MMSYSERR_INVALPARAM;
        }
        timer = std::move(it->second);
        registry.erase(it);
    }
    timer->stop.store(true, std::memory_order_release);
    if (currentTimer == timer.get()) {
        // Inside our own callback: the thread keeps the timer alive until it returns.
        timer->thread.detach();
    } else {
        timer->thread.join();
    }
    return TIMERR_NOERROR;
}
