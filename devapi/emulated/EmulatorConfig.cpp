// EmulatorConfig.cpp - the emulated board's configuration from the LOMPCIE_*
// environment variables (documented in LomPcieEmulatorControl.h), read when
// the emulator starts and at every reset.
#include "Emulator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lompcie {

namespace {

const char *env(const char *name)
{
    const char *v = std::getenv(name);
    return v && *v ? v : nullptr;
}

bool envNumber(const char *name, double &out)
{
    const char *v = env(name);
    if (!v)
        return false;
    char *end = nullptr;
    const double d = std::strtod(v, &end);
    if (!end || *end != '\0' || !std::isfinite(d) || d < 0) {
        std::fprintf(stderr, "LomPcieDmaDll: ignoring %s=%s (not a number >= 0)\n", name, v);
        return false;
    }
    out = d;
    return true;
}

} // namespace

Config readConfig()
{
    Config c;
    double d = 0;
    if (envNumber("LOMPCIE_BOARDS", d))
        c.boards = static_cast<uint32_t>(std::min(d, 255.0));
    if (const char *p = env("LOMPCIE_PATTERN")) {
        c.unitMarks = std::strcmp(p, "units") == 0;
        c.ramp = c.unitMarks || std::strcmp(p, "ramp") == 0;
    }
    for (int ch = 0; ch < 4; ++ch) {
        c.signals[ch] = defaultSignalConfig(ch);
        const std::string name = "LOMPCIE_CH" + std::to_string(ch);
        if (const char *text = env(name.c_str())) {
            std::string error;
            if (!parseSignalConfig(text, c.signals[ch], error))
                std::fprintf(stderr, "LomPcieDmaDll: ignoring %s: %s\n", name.c_str(), error.c_str());
        }
    }
    if (envNumber("LOMPCIE_SEED", d))
        c.seed = static_cast<uint64_t>(d);
    if (const char *t = env("LOMPCIE_TRIGGER_DELAY_MS")) {
        if (std::strcmp(t, "never") == 0)
            c.triggerNever = true;
        else if (envNumber("LOMPCIE_TRIGGER_DELAY_MS", d))
            c.triggerDelayS = d / 1000.0;
    }
    if (envNumber("LOMPCIE_TRIGGER_UNIT", d)) {
        c.triggerUnitForced = true;
        c.triggerUnit = static_cast<uint32_t>(static_cast<uint64_t>(d) & kRingMask);
    }
    if (envNumber("LOMPCIE_STREAM_RATE", d))
        c.streamUnitsPerS = d;
    if (const char *a = env("LOMPCIE_DA_ACCEPT"))
        c.daAccept = std::strcmp(a, "0") != 0;
    if (const char *t = env("LOMPCIE_TRACE"))
        c.tracePath = t;
    envNumber("LOMPCIE_COST_WRITE_NS", c.costWriteNs);
    envNumber("LOMPCIE_COST_READ_NS", c.costReadNs);
    envNumber("LOMPCIE_COST_DMA_NS", c.costDmaNs);
    envNumber("LOMPCIE_LINK_BYTES_PER_S", c.linkBytesPerS);
    if (envNumber("LOMPCIE_VANISH_AFTER_DMA", d))
        c.vanishAfterDma = static_cast<uint64_t>(d);
    return c;
}

} // namespace lompcie
