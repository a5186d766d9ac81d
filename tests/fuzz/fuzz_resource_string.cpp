// KelPcieInit's resource string against the emulated board. The string is
// read with the C library's scanning of "PXI%u::%u::%uINSTR", so sscanf with
// that pattern is the reference: when it reports end of input, KelPcieInit
// returns that code and opens nothing; otherwise exactly one OpenDev call
// with the three numbers (0 where not converted) cut to 8 bits, whose result
// KelPcieInit returns. The emulator's trace shows the OpenDev call.
#include "FuzzCheck.h"
#include "KelPcieApi.h"
#include "LomPcieEmulatorControl.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string tracePath;

std::string takeTrace()
{
    std::ifstream in(tracePath);
    std::stringstream text;
    text << in.rdbuf();
    in.close();
    std::ofstream(tracePath, std::ios::trunc).close();
    return text.str();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    tracePath = "/tmp/h452-fuzz-resource-" + std::to_string(::getpid()) + ".trace";
    ::setenv("LOMPCIE_TRACE", tracePath.c_str(), 1);
    ::setenv("LOMPCIE_BOARDS", "3", 1);
    std::atexit([] { std::remove(tracePath.c_str()); });
    LomPcieResetEmulator();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string resource(reinterpret_cast<const char*>(data), size);  // read up to its first NUL
    takeTrace();

    unsigned a = 0, b = 0, c = 0;
    const int scanned = std::sscanf(resource.c_str(), "PXI%u::%u::%uINSTR", &a, &b, &c);
    const int32_t before = 0x5a5a5a5a;
    int32_t connection = before;
    const int32_t result = KelPcieInit(resource.c_str(), 0, 0, &connection);
    const std::string trace = takeTrace();

    if (scanned < 0) {
        FUZZ_CHECK(result == scanned);
        FUZZ_CHECK(trace.empty());
        FUZZ_CHECK(connection == before);
        return 0;
    }
    char expected[64];
    std::snprintf(expected, sizeof expected, "O %u %u %u %d\n", a & 0xFFu, b & 0xFFu, c & 0xFFu, int(result));
    if (trace != expected) {
        std::fprintf(stderr, "trace '%s', expected '%s'\n", trace.c_str(), expected);
        FUZZ_CHECK(trace == expected);
    }
    if (result >= 0) {
        FUZZ_CHECK(connection != 0);
        FUZZ_CHECK(KelPcieClose() >= 0);
        takeTrace();
    }
    return 0;
}
