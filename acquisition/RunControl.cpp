// Acquisition parameters from control texts (see RunControl.h).
#include "RunControl.h"

#include <cmath>
#include <limits>

namespace h452 {

int parseDdr4Address(const QString& text, bool* valid)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok, 16);
    ok = ok && value >= 0 && value <= std::numeric_limits<int>::max();
    if (valid)
        *valid = ok;
    return ok ? int(value) : 0;
}

qint16 parseTriggerLevel(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return 0;
    if (value < std::numeric_limits<qint16>::min())
        return std::numeric_limits<qint16>::min();
    if (value > std::numeric_limits<qint16>::max())
        return std::numeric_limits<qint16>::max();
    return qint16(value);
}

int parseTriggerOffset(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

AcquisitionParameters readAcquisitionParameters(int recordLength, const QString& ddr4Text,
                                                int triggerMode, const QString& levelText,
                                                int triggerSlope, const QString& offsetText)
{
    AcquisitionParameters p;
    p.recordLength = recordLength;
    p.ddr4Address = parseDdr4Address(ddr4Text, &p.ddr4AddressValid);
    p.triggerMode = triggerMode;
    p.triggerLevel = parseTriggerLevel(levelText);
    p.triggerSlope = triggerSlope;
    p.triggerOffset = parseTriggerOffset(offsetText);
    return p;
}

} // namespace h452
