// Helpers shared by the acquisition tests: sample files written with the
// group layout spelled out byte by byte (independent of the code under test),
// condition waits with a time-out, and a capture of debug-log lines.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QThread>

#include "LogCapture.h"

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <vector>

namespace testsupport {

// Time-outs scale with H452_TEST_TIMEOUT_SCALE (sanitizer builds are slower).
inline int scaledMs(int ms)
{
    const char* scale = std::getenv("H452_TEST_TIMEOUT_SCALE");
    const int factor = scale ? std::max(1, std::atoi(scale)) : 1;
    return ms * factor;
}

// Polls `done` until it holds or the time-out passes; returns whether it held.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > scaledMs(timeoutMs))
            return false;
        QThread::msleep(1);
    }
    return true;
}

// The code of stream sample s of channel k in the test files: unique per
// (sample, channel) and signed, so a mix-up of channels, groups or byte
// order shows.
inline int16_t codeOf(int64_t s, int k)
{
    return int16_t(((s * 7 + k * 1000) % 30000) - 15000);
}

// A stream of `samples` instants in the group layout, written by hand: group
// g holds instants 4g..4g+3; its bytes 8k..8k+7 are those four codes of
// channel k, each low byte first. `bytes` truncates the file (a cut inside a
// group), -1 keeps all whole groups.
inline QByteArray makeStream(int64_t samples, int64_t bytes = -1)
{
    const int64_t groups = (samples + 3) / 4;
    QByteArray out(int(groups * 32), '\0');
    for (int64_t g = 0; g < groups; ++g)
        for (int k = 0; k < 4; ++k)
            for (int j = 0; j < 4; ++j) {
                const int64_t s = g * 4 + j;
                const uint16_t v = s < samples ? uint16_t(codeOf(s, k)) : 0;
                const int64_t at = g * 32 + k * 8 + j * 2;
                out[int(at)] = char(v & 0xff);
                out[int(at + 1)] = char(v >> 8);
            }
    if (bytes >= 0)
        out.truncate(int(bytes));
    return out;
}

inline bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}


} // namespace testsupport
