// Definitions of the process-wide device state (see DeviceState.h).
#include "DeviceState.h"

quint32 deviceHandle = 0;
QMutex dataMutex;
