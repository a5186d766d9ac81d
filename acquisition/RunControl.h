// RunControl: the pure parts of starting, stopping and single acquisitions:
// how the acquisition parameters are read from the texts of the control
// column. (The single acquisition's simulated record lives with the other
// record sources, RecordSource.h.)
//
// The window reads its widgets on the GUI thread and passes the texts here;
// nothing in this file touches a widget or a thread.
#pragma once

#include <QString>
#include <QtGlobal>

namespace h452 {

// The acquisition parameters of one start or one single acquisition.
struct AcquisitionParameters {
    int recordLength = 0;
    int ddr4Address = 0;
    bool ddr4AddressValid = true;   // false: the text was not a hexadecimal number
    int triggerMode = 0;            // 0 free, 1 edge, 2 continuous, 3 external, 4 local file
    qint16 triggerLevel = 0;
    int triggerSlope = 0;
    int triggerOffset = 0;
};

// The DDR4 start address: the text as a base-16 integer. A text that is not
// a hexadecimal number, or whose value does not fit the board's 32-bit
// signed address parameter, gives 0 and valid = false (the caller writes the
// "DDR4地址无效" line). An empty text counts as invalid as well.
int parseDdr4Address(const QString& text, bool* valid);

// Trigger level: the text as a decimal integer, 0 when it is not one. The
// converter codes are signed 16-bit, so a typed level beyond them is held at
// the nearest code (-32768 or 32767) rather than wrapping around to a level
// of the opposite sign.
qint16 parseTriggerLevel(const QString& text);

// Trigger time: the text as a decimal integer, 0 when it is not one.
int parseTriggerOffset(const QString& text);

// Reads every parameter from the control texts. triggerMode and
// triggerSlope are the current indexes of their lists.
AcquisitionParameters readAcquisitionParameters(int recordLength, const QString& ddr4Text,
                                                int triggerMode, const QString& levelText,
                                                int triggerSlope, const QString& offsetText);

} // namespace h452
