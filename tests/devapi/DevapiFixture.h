// DevapiFixture.h - shared set-up of the device library tests: each test
// configures the emulated board through its environment variables, resets
// the emulator so that it re-reads them, and reads the driver's trace to
// check register sequences.
#pragma once

#include "KelPcieApi.h"
#include "LomPcieEmulatorControl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

class DevapiTest : public ::testing::Test {
protected:
    // Every variable a test may set; cleared before each test.
    static constexpr const char *kVariables[] = {
        "LOMPCIE_BOARDS",       "LOMPCIE_PATTERN",          "LOMPCIE_CH0",
        "LOMPCIE_CH1",          "LOMPCIE_CH2",              "LOMPCIE_CH3",
        "LOMPCIE_SEED",         "LOMPCIE_TRIGGER_DELAY_MS", "LOMPCIE_TRIGGER_UNIT",
        "LOMPCIE_STREAM_RATE",  "LOMPCIE_DA_ACCEPT",        "LOMPCIE_TRACE",
        "KELPCIE_POLL_SLEEP_US", "KELPCIE_STALL_TIMEOUT_MS"};

    void SetUp() override
    {
        KelPcieClose(); // leave no board of an earlier test open
        for (const char *v : kVariables)
            unsetenv(v);
        tracePath_ = ::testing::TempDir() + "devapi_trace_" + std::to_string(getpid()) + ".txt";
        std::remove(tracePath_.c_str());
        setenv("LOMPCIE_TRACE", tracePath_.c_str(), 1);
        // Triggers fire at the first poll so that sequences are exact.
        setenv("LOMPCIE_TRIGGER_DELAY_MS", "0", 1);
        LomPcieResetEmulator();
    }

    void TearDown() override
    {
        KelPcieClose();
        std::remove(tracePath_.c_str());
    }

    // Applies changed variables (the emulator re-reads them on reset).
    void configure(std::initializer_list<std::pair<const char *, const char *>> vars)
    {
        KelPcieClose();
        for (const auto &v : vars) {
            if (v.second)
                setenv(v.first, v.second, 1);
            else
                unsetenv(v.first);
        }
        LomPcieResetEmulator();
        clearTrace();
    }

    // Finds the emulated boards and opens the first; returns the connection.
    uint32_t openBoard(const char *boards = "1")
    {
        configure({{"LOMPCIE_BOARDS", boards}});
        SlomPXIDevInfo devices[KELPCIE_MAX_DEVICES];
        uint32_t count = 0;
        EXPECT_EQ(KelPcieFindDevs(devices, &count), 0);
        EXPECT_GE(count, 1u);
        int32_t connection = 0;
        EXPECT_EQ(KelPcieInit(devices[0].resource, 0, 0, &connection), 0);
        clearTrace();
        return static_cast<uint32_t>(connection);
    }

    // Trace lines written since the last call (and forgets them).
    std::vector<std::string> takeTrace()
    {
        std::vector<std::string> lines;
        std::ifstream in(tracePath_);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        clearTrace();
        return lines;
    }
    void clearTrace() { std::remove(tracePath_.c_str()); }

    std::string tracePath_;
};
