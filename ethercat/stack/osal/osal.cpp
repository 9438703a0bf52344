#include "osal.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "../protocol.h"

int osal_usleep(uint32_t usec) {
    timespec ts{static_cast<time_t>(usec / 1000000), static_cast<long>(usec % 1000000) * 1000};
    while (nanosleep(&ts, &ts) != 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return 0;
}

ec_timet osal_current_time() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ec_timet{static_cast<uint32_t>(ts.tv_sec), static_cast<uint32_t>(ts.tv_nsec / 1000)};
}

namespace {

struct ThreadStart {
    void (*func)(void*);
    void* param;
};

void* threadEntry(void* arg) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(arg));
    start->func(start->param);
    return nullptr;
}

}  // namespace

static_assert(sizeof(osal_thread_handle) == sizeof(pthread_t));

int osal_thread_create(void* thandle, int stacksize, void* func, void* param) {
    if (func == nullptr) {
        return 0;
    }
    return osal_thread_create(thandle, stacksize, reinterpret_cast<void (*)(void*)>(func), param);
}

int osal_thread_create(void* thandle, int stacksize, void (*func)(void*), void* param) {
    if (thandle == nullptr || func == nullptr) {
        return 0;
    }
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    if (stacksize > 0) {
        // Never below what the C library needs for its own frames.
        const size_t minimum = static_cast<size_t>(PTHREAD_STACK_MIN);
        const size_t size = std::max(static_cast<size_t>(stacksize), minimum);
        pthread_attr_setstacksize(&attr, size);
    }
    auto* start = new ThreadStart{func, param};
    pthread_t thread{};
    const int rc = pthread_create(&thread, &attr, threadEntry, start);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete start;
        return 0;
    }
    *static_cast<osal_thread_handle*>(thandle) = static_cast<osal_thread_handle>(thread);
    return 1;
}

int osal_thread_join(void* thandle) {
    if (thandle == nullptr) {
        return 0;
    }
    const auto thread = static_cast<pthread_t>(*static_cast<osal_thread_handle*>(thandle));
    return pthread_join(thread, nullptr) == 0 ? 1 : 0;
}

namespace ec {

int64_t systemTimeNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return (static_cast<int64_t>(ts.tv_sec) - kDcEpochOffsetSeconds) * 1000000000 + ts.tv_nsec;
}

}  // namespace ec
