// Process-wide device state shared by the window, the acquisition thread and
// the tests: the connection number of the opened board and the data mutex.
//
// deviceHandle is 0 when no board is open; the acquisition side then
// simulates. It is written once at start-up, before any thread starts, and
// only read afterwards.
//
// dataMutex serialises frame processing (on the acquisition thread) against
// every GUI-thread change of chart data, analysis settings and board
// registers. Lock order: WorkThread::mutex first, then dataMutex, then the
// device lock that keeps register sequences whole (DeviceLock.h); never the
// other way round. It is not recursive.
#pragma once

#include <QMutex>
#include <QtGlobal>

extern quint32 deviceHandle;
extern QMutex dataMutex;
