// A periodic high-resolution timer that calls a plain function on a thread of its own, with the
// calling convention of the multimedia timer the console was first written against
// (timeSetEvent / timeKillEvent), so the master's cycle keeps its shape on Linux.
//
// Each timer owns one thread that sleeps to absolute deadlines on CLOCK_MONOTONIC. A callback that
// overruns its period does not cause a burst of catch-up calls: the next call waits for the next
// grid point still ahead. Where the process is permitted, the thread runs SCHED_FIFO and the
// process memory is locked (once per process); where not, the timer runs without them silently.
#pragma once

#include <cstdint>

// Arguments as the multimedia timer passes them: timer id, message (always 0), the caller's user
// value, and two reserved values (always 0).
using TimerCallback = void (*)(uint32_t id, uint32_t msg, uintptr_t user, uintptr_t dw1,
                               uintptr_t dw2);

inline constexpr uint32_t TIME_ONESHOT = 0x0000;
inline constexpr uint32_t TIME_PERIODIC = 0x0001;

inline constexpr uint32_t TIMERR_NOERROR = 0;
inline constexpr uint32_t MMSYSERR_INVALPARAM = 11;

// Starts a timer that calls `cb` after `delayMs` and, with TIME_PERIODIC, every `delayMs` after
// that (the grid is anchored at the start). `resolutionMs` is accepted and ignored: the thread
// always sleeps to the exact deadline. Returns the timer id (never 0), or 0 when `delayMs` is 0,
// `cb` is null or no thread could be started.
uint32_t timeSetEvent(uint32_t delayMs, uint32_t resolutionMs, TimerCallback cb, uintptr_t user,
                      uint32_t flags);

// Stops a timer. Called from any other thread it returns only when no callback of this timer
// runs and none will start. Called from inside the timer's own callback it cannot wait for
// itself: it returns at once, the running callback is the last one, and the thread ends and
// frees itself when it returns. Returns TIMERR_NOERROR, or MMSYSERR_INVALPARAM for an unknown id.
uint32_t timeKillEvent(uint32_t id);

// Absolute CLOCK_MONOTONIC deadline in nanoseconds of the callback running on the calling thread,
// 0 outside a timer callback. Lets a measurement compare the start of a cycle with its grid point.
int64_t timerCurrentDeadlineNs();

// CLOCK_MONOTONIC now, in nanoseconds.
int64_t timerMonotonicNowNs();

// Diagnostics: whether the most recently started timer thread got SCHED_FIFO, and whether the
// process memory was locked.
bool timerThreadIsRealtime();
bool timerMemoryIsLocked();
