// Process-wide device state shared by the window, the acquisition thread and
// the tests: the connection number of the opened board and the data mutex.
//
// deviceHandle is 0 when no board is open; the acquisition side then
// simulates. It is written once at start-up, before any thread starts, and
// only read afterwards.
//
// dataMutex serialises frame processing (on the acquisition thread) against
// every GUI-thread change of chart data, analysis settings and board
// registers. It is not recursive, and it is locked only through DataLock
// (below), never directly.
//
// LOCK ORDER. This is the program's one statement of it; every other
// comment about lock order points here. A thread holding a lock may take
// only locks further down the list, never one above it:
//   1. WorkThread::mutex: the frame in hand. A board or simulated pass holds
//      it from the fetch through the emission of sigSendData; run control
//      takes it to hand over buffers and to ask for a stop.
//   2. dataMutex: frame processing inside that emission (onDealData), and the
//      GUI thread's changes of what frame processing reads (channels, panels,
//      record length, analysis settings, the single acquisition, the
//      trigger-source and rate handlers).
//   3. acquisition::deviceMutex() (DeviceLock.h): one register sequence of
//      the board (a fetch, a streamed block, a handler's writes).
//   Leaves, under which nothing else is locked and no signal is emitted: the
//   frame mailbox's lock (FrameMailbox.h), the axis-range snapshot's lock
//   (FrameAxes.h), WorkThread's replay-path lock, the recorder's own locks.
// What follows from it: the GUI thread never stops or waits for the
// acquisition thread while it holds dataMutex (the frame in hand needs
// dataMutex to finish), and the acquisition thread lets the device lock go
// before it emits a frame.
#pragma once

#include <QMutex>
#include <QtGlobal>

#if defined(__SANITIZE_THREAD__)
#define H452_TSAN_ANNOTATE_MUTEX 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define H452_TSAN_ANNOTATE_MUTEX 1
#endif
#endif

#ifdef H452_TSAN_ANNOTATE_MUTEX
#include <sanitizer/tsan_interface.h>
#endif

extern quint32 deviceHandle;
extern QMutex dataMutex;

// Holds dataMutex for its lifetime. QMutex locks inside the Qt library, where
// ThreadSanitizer does not look, so in the ThreadSanitizer build this guard
// reports each lock and unlock to it: the hand-offs between the window and
// frame processing are then checked by the sanitizer rather than argued. In
// other builds it is a plain QMutexLocker.
class DataLock {
public:
    DataLock()
    {
#ifdef H452_TSAN_ANNOTATE_MUTEX
        __tsan_mutex_pre_lock(&dataMutex, 0);
#endif
        dataMutex.lock();
#ifdef H452_TSAN_ANNOTATE_MUTEX
        __tsan_mutex_post_lock(&dataMutex, 0, 0);
#endif
    }
    ~DataLock()
    {
#ifdef H452_TSAN_ANNOTATE_MUTEX
        __tsan_mutex_pre_unlock(&dataMutex, 0);
#endif
        dataMutex.unlock();
#ifdef H452_TSAN_ANNOTATE_MUTEX
        __tsan_mutex_post_unlock(&dataMutex, 0);
#endif
    }
    DataLock(const DataLock&) = delete;
    DataLock& operator=(const DataLock&) = delete;
};
