// The channel colours: one palette for the chart series, the channel
// swatches of the control column and the overview strip, so that a channel
// has one colour wherever it is drawn. Chosen to stay apart for the common
// forms of colour blindness and to read on the charts' dark background.
#pragma once

#include <QColor>
#include <QString>

#include <array>

namespace h452 {

inline const std::array<QColor, 4> kChannelColours = {QColor(240, 228, 66), QColor(86, 180, 233),
                                                      QColor(237, 11, 244), QColor(0, 158, 115)};

// The style sheet of a channel's swatch while the channel is on; an index
// outside 0 to 3 gives an empty sheet.
inline QString channelSwatchStyle(int channel)
{
    if (channel < 0 || channel >= int(kChannelColours.size()))
        return QString();
    const QColor& c = kChannelColours[std::size_t(channel)];
    return QStringLiteral("background-color: rgb(%1,%2,%3);").arg(c.red()).arg(c.green()).arg(c.blue());
}

} // namespace h452
