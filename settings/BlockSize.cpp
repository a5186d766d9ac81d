// Block sizes typed by the user (see BlockSize.h).
#include "BlockSize.h"

#include <QRegularExpression>

namespace blocksize {

bool parseBytes(const QString& text, qint64* bytes)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,19})\\s*(?:([kmg])(i?)b?|b)?\\s*$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    const qulonglong number = m.captured(1).toULongLong(&ok);
    if (!ok || number == 0)
        return false;
    int shift = 0;
    const QString unit = m.captured(2).toLower();
    if (unit == QLatin1String("k"))
        shift = 10;
    else if (unit == QLatin1String("m"))
        shift = 20;
    else if (unit == QLatin1String("g"))
        shift = 30;
    // Kept below 2^62 so that callers may add and double sizes freely.
    if (number > (qulonglong(1) << (62 - shift)))
        return false;
    *bytes = qint64(number << shift);
    return true;
}

QString blockBytesProblem(qint64 bytes)
{
    if (bytes < kMinBytes)
        return QStringLiteral("below %1").arg(bytesText(kMinBytes));
    if (bytes > kMaxBytes)
        return QStringLiteral("above %1").arg(bytesText(kMaxBytes));
    if ((bytes & (bytes - 1)) != 0)
        return QStringLiteral("not a power of two");
    return {};
}

QString bytesText(qint64 bytes)
{
    if (bytes >= (qint64(1) << 20) && bytes % (qint64(1) << 20) == 0)
        return QStringLiteral("%1 MiB").arg(bytes >> 20);
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes >> 10);
    return QStringLiteral("%1 bytes").arg(bytes);
}

} // namespace blocksize
