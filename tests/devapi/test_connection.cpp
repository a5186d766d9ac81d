// Discovery, opening and closing, and the register and DMA pass-through of
// the device library against the emulated board.
#include "DevapiFixture.h"

#include <cstring>
#include <dlfcn.h>

using Connection = DevapiTest;
using Strings = std::vector<std::string>;

TEST_F(Connection, DiscoveryFindsAtMostTenBoardsAndSkipsOtherMakes)
{
    for (const char *boards : {"0", "1", "2", "12"}) {
        SCOPED_TRACE(boards);
        configure({{"LOMPCIE_BOARDS", boards}});
        // Room for exactly ten records, plus two sentinel records that a
        // copy without bound would overwrite.
        SlomPXIDevInfo devices[KELPCIE_MAX_DEVICES + 2];
        std::memset(devices, 0xA5, sizeof devices);
        uint32_t count = 99;
        EXPECT_EQ(KelPcieFindDevs(devices, &count), 0);
        const uint32_t present = static_cast<uint32_t>(std::atoi(boards));
        EXPECT_EQ(count, std::min(present, 10u));
        for (uint32_t i = 0; i < count; ++i) {
            EXPECT_EQ(devices[i].vendorId, 0x10EE);
            EXPECT_EQ(devices[i].deviceId, 0x5764);
            EXPECT_STREQ(devices[i].resource, ("PXI0::" + std::to_string(i) + "::0INSTR").c_str());
        }
        for (uint32_t i = count; i < KELPCIE_MAX_DEVICES + 2; ++i) {
            const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&devices[i]);
            EXPECT_EQ(bytes[0], 0xA5);
            EXPECT_EQ(bytes[sizeof(SlomPXIDevInfo) - 1], 0xA5);
        }
        // The driver lists the boards and one device of another make.
        EXPECT_EQ(takeTrace(), Strings{"F " + std::to_string(present + 1)});
    }
}

TEST_F(Connection, DeviceRecordKeepsItsLayout)
{
    // Callers copy 780-byte records and read fixed offsets.
    EXPECT_EQ(sizeof(SlomPXIDevInfo), 780u);
    EXPECT_EQ(offsetof(SlomPXIDevInfo, vendorId), 4u);
    EXPECT_EQ(offsetof(SlomPXIDevInfo, deviceId), 6u);
    EXPECT_EQ(offsetof(SlomPXIDevInfo, resource), 520u);
}

TEST_F(Connection, DiscoveryRefusesNullPointers)
{
    SlomPXIDevInfo devices[KELPCIE_MAX_DEVICES];
    uint32_t count = 0;
    EXPECT_EQ(KelPcieFindDevs(nullptr, &count), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieFindDevs(devices, nullptr), KELPCIE_ERR_INVALID_ARGUMENT);
}

TEST_F(Connection, ResourceStringsOpenTheirThreeNumbers)
{
    configure({{"LOMPCIE_BOARDS", "6"}});
    const struct {
        const char *resource;
        int32_t result;
        const char *open; // trace line of OpenDev, or null when not called
    } cases[] = {
        {"PXI0::5::0INSTR", 0, "O 0 5 0 0"},
        {"PXI0::5::0::INSTR", 0, "O 0 5 0 0"},
        {"PXI0::261::0INSTR", 0, "O 0 5 0 0"}, // 261 cut to 8 bits
        {"XYZ", 0, "O 0 0 0 0"},               // numbers default to 0
        {"PXI3", LOMPCIE_ERR_NODEVICE, "O 3 0 0 -103"},
        {"PXI0::9::0INSTR", LOMPCIE_ERR_NODEVICE, "O 0 9 0 -103"},
        {"", -1, nullptr},
        {"PX", -1, nullptr},
        // Too long for 64 bits: saturates to all ones whatever the sign, as
        // the C library's scanning does (a negated overflow once gave 1).
        {"PXI0::-99999999999999999999999::0INSTR", LOMPCIE_ERR_NODEVICE, "O 0 255 0 -103"},
        {"PXI0::-18446744073709551615::0INSTR", 0, "O 0 1 0 0"},  // -(2^64 - 1) wraps to 1
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.resource);
        int32_t connection = 0;
        EXPECT_EQ(KelPcieInit(c.resource, 0, 0, &connection), c.result);
        const Strings trace = takeTrace();
        if (c.open)
            EXPECT_EQ(trace, Strings{c.open});
        else
            EXPECT_TRUE(trace.empty());
        if (c.result == 0) {
            EXPECT_NE(connection, 0);
            EXPECT_EQ(static_cast<uint32_t>(connection),
                      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(getDevHandle())));
        }
    }
    int32_t connection = 0;
    EXPECT_EQ(KelPcieInit(nullptr, 0, 0, &connection), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieInit("PXI0::1::0INSTR", 0, 0, nullptr), KELPCIE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KelPcieInitWithOptions("PXI0::2::0INSTR", 0, 0, "", &connection), 0);
    EXPECT_EQ(takeTrace(), Strings{"O 0 2 0 0"});
}

TEST_F(Connection, CloseTwicePassesTheNullHandleToTheDriver)
{
    openBoard();
    EXPECT_NE(getDevHandle(), nullptr);
    EXPECT_EQ(KelPcieClose(), 0);
    EXPECT_EQ(getDevHandle(), nullptr);
    EXPECT_EQ(KelPcieClose(), LOMPCIE_ERR_HANDLE);
    EXPECT_EQ(takeTrace(), (Strings{"C 0", "C -101"}));
}

TEST_F(Connection, PassThroughReachesTheBoardAndReportsAClosedOne)
{
    const uint32_t c = openBoard();
    EXPECT_EQ(KelPcieWriteData(c, 300, 0xFFFFFFFFu), 0);
    uint32_t value = 0;
    EXPECT_EQ(KelPcieReadData(c, 300, &value), 0);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_EQ(KelPcieReadData(c, 300, nullptr), LOMPCIE_ERR_ARGUMENT);
    EXPECT_EQ(takeTrace(), (Strings{"W 300 4294967295", "R 300 4294967295", "R 300 0"}));

    uint32_t block[16];
    EXPECT_EQ(KelPcieReadDMA(c, 0, block, sizeof block), 0);
    EXPECT_EQ(KelPcieReadDMA(c, 0, nullptr, 64), LOMPCIE_ERR_ARGUMENT);
    const uint32_t payload[2] = {0x04030201u, 0xDDCCBBAAu};
    EXPECT_EQ(KelPcieWriteDMA(c, payload, 0, 8), 0);
    EXPECT_EQ(takeTrace(), (Strings{"DR 0 64 0", "DR 0 64 -102", "DW 0 8 0 01020304aabbccdd"}));

    // After closing, every call reports the driver's code for a bad handle
    // and the fetch refuses before touching the board.
    KelPcieClose();
    clearTrace();
    value = 7;
    EXPECT_EQ(KelPcieWriteData(c, 300, 1), LOMPCIE_ERR_HANDLE);
    EXPECT_EQ(KelPcieReadData(c, 300, &value), LOMPCIE_ERR_HANDLE);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(KelPcieReadDMA(c, 0, block, 64), LOMPCIE_ERR_HANDLE);
    double a[8], b[8], d[8], e[8];
    EXPECT_EQ(KelPcieFetchData(c, a, b, d, e, 8, 0, 0, 0, 0, 0), KELPCIE_ERR_NOT_OPEN);
    EXPECT_EQ(KelPcieCommit(c, 8), KELPCIE_ERR_NOT_OPEN);
    EXPECT_EQ(KelPcieFetchChannelAData(c, a, 8), KELPCIE_ERR_NOT_OPEN);
    const Strings trace = takeTrace();
    EXPECT_EQ(trace, (Strings{"W 300 1", "R 300 0", "DR 0 64 -101"}));
}

TEST_F(Connection, HandlesFromBeforeAnEmulatorResetAreRefused)
{
    const uint32_t c = openBoard();
    LomPcieResetEmulator();
    EXPECT_EQ(KelPcieWriteData(c, 4, 1), LOMPCIE_ERR_HANDLE);
}

TEST(Exports, AllTwentySixAreVisibleUnderTheirPlainNames)
{
    const char *names[] = {"KelPcieFindDevs", "KelPcieInit", "KelPcieInitWithOptions", "KelPcieClose",
                           "getDevHandle", "KelPcieWriteData", "KelPcieReadData", "KelPcieReadDMA",
                           "KelPcieWriteDMA", "KelPcieFetchData", "KelPcieCommit", "KelPcieFetchChannelAData",
                           "KelPcieFetchChannelBData", "KelPcieFetchChannelASpectrumData",
                           "KelPcieFetchChannelBSpectrumData", "KelPcieFetchSpectrumData", "KelPcieCfgWindowType",
                           "KelPcieGetWindowCoe", "KelPcieInitADDAC", "KelPcieInitDUC", "KelPcieSwitchMode",
                           "KelPcieSwitchModeDA", "KelPcieCfgDataRate", "KelPcieConfigureData",
                           "KelPcieConfigureChanleAData", "KelPcieConfigureChanleBData"};
    EXPECT_EQ(sizeof names / sizeof names[0], 26u);
    for (const char *name : names)
        EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
    // Internals stay hidden.
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "_ZN7kelpcie5stateEv"), nullptr);
}
