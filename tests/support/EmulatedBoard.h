// The emulated board as the tests set it up: the variables that configure
// it (boards found, signal pattern, stream rate, trigger delay, trace file),
// a reset to that configuration, the first board opened through the device
// library, and the register trace read back. Every test that talks to the
// board goes through here, so a new variable is added and cleared in one
// place.
#pragma once

#include "DeviceState.h"
#include "KelPcieApi.h"
#include "LomPcieEmulatorControl.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

namespace testsupport {

struct EmulatedBoardSetup {
    int boards = 1;                      // boards the emulator reports; 0: none
    QString trace;                       // trace file; empty: no trace
    const char* pattern = nullptr;       // LOMPCIE_PATTERN, e.g. "ramp"; null: the default signal
    QByteArray streamRate;               // LOMPCIE_STREAM_RATE (units per second); empty: the default
    const char* triggerDelayMs = nullptr;  // LOMPCIE_TRIGGER_DELAY_MS, e.g. "never"; null: the default
};

class EmulatedBoard {
public:
    // Closes any open board, sets the emulator's variables from `setup` and
    // resets the emulator to them. The board count and the trace are always
    // set or cleared; a pattern, rate or delay the setup leaves out keeps what
    // the test may have set before (reset() clears them all).
    static void configure(const EmulatedBoardSetup& setup)
    {
        KelPcieClose();
        deviceHandle = 0;
        if (setup.boards > 0)
            qputenv("LOMPCIE_BOARDS", QByteArray::number(setup.boards));
        else
            qunsetenv("LOMPCIE_BOARDS");
        if (!setup.trace.isEmpty())
            qputenv("LOMPCIE_TRACE", QFile::encodeName(setup.trace));
        else
            qunsetenv("LOMPCIE_TRACE");
        if (setup.pattern)
            qputenv("LOMPCIE_PATTERN", setup.pattern);
        if (!setup.streamRate.isEmpty())
            qputenv("LOMPCIE_STREAM_RATE", setup.streamRate);
        if (setup.triggerDelayMs)
            qputenv("LOMPCIE_TRIGGER_DELAY_MS", setup.triggerDelayMs);
        LomPcieResetEmulator();
    }

    // Opens the first board through the device library and makes it the
    // process's board (deviceHandle). false when none opened.
    static bool openFirst()
    {
        SlomPXIDevInfo records[KELPCIE_MAX_DEVICES];
        uint32_t count = 0;
        int32_t connection = 0;
        if (KelPcieFindDevs(records, &count) != 0 || count == 0
            || KelPcieInit(records[0].resource, 0, 0, &connection) != 0)
            return false;
        deviceHandle = quint32(connection);
        return deviceHandle != 0;
    }

    // Back to no board: closes it, clears every variable, resets the emulator.
    static void reset()
    {
        KelPcieClose();
        deviceHandle = 0;
        for (const char* name : {"LOMPCIE_BOARDS", "LOMPCIE_TRACE", "LOMPCIE_PATTERN", "LOMPCIE_STREAM_RATE",
                                 "LOMPCIE_TRIGGER_DELAY_MS", "KELPCIE_POLL_SLEEP_US", "LOMPCIE_COST_WRITE_NS",
                                 "LOMPCIE_COST_READ_NS", "LOMPCIE_COST_DMA_NS", "LOMPCIE_LINK_BYTES_PER_S",
                                 "LOMPCIE_VANISH_AFTER_DMA"})
            qunsetenv(name);
        LomPcieResetEmulator();
    }

    // The trace's lines, without the empty one after the last newline.
    static QList<QByteArray> traceLines(const QString& trace)
    {
        QFile f(trace);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = f.readAll().split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    // Whether a line of the trace starts with `prefix`.
    static bool traced(const QString& trace, const QByteArray& prefix)
    {
        for (const QByteArray& line : traceLines(trace))
            if (line.startsWith(prefix))
                return true;
        return false;
    }

    // Whether the trace holds `sequence` as consecutive lines.
    static bool traceHas(const QString& trace, const QList<QByteArray>& sequence)
    {
        const QList<QByteArray> lines = traceLines(trace);
        for (int i = 0; i + sequence.size() <= lines.size(); ++i)
            if (lines.mid(i, sequence.size()) == sequence)
                return true;
        return false;
    }
};

} // namespace testsupport
