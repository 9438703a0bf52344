// Operating-system services of the master: sleeping, time, threads. Porting the stack touches
// only this folder.
#pragma once

#include <cstdint>

// System time of distributed clocks counts from 2000-01-01; wall time from 1970.
struct ec_timet {
    uint32_t sec;
    uint32_t usec;
};

#define OSAL_THREAD_FUNC void
#define OSAL_THREAD_FUNC_RT void

int osal_usleep(uint32_t usec);
ec_timet osal_current_time();

// Starts `func` (a `void func(void*)`) with `param` on a new joinable thread. `thandle` points to
// an osal_thread_handle that receives the thread. Returns 1 on success, 0 on failure.
using osal_thread_handle = unsigned long;
using OSAL_THREAD_HANDLE = osal_thread_handle;
int osal_thread_create(void* thandle, int stacksize, void* func, void* param);
// The same for a function named directly, without a cast to void*.
int osal_thread_create(void* thandle, int stacksize, void (*func)(void*), void* param);
// Waits for a thread started by osal_thread_create. Returns 1 when joined.
int osal_thread_join(void* thandle);

namespace ec {

// Nanoseconds since 2000-01-01 00:00:00 (wall clock), the epoch of EtherCAT system time.
int64_t systemTimeNs();

}  // namespace ec
