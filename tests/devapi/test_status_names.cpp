// The status names of KelPcieApi.h: every failure value the headers define
// has a name (so a code added without a row is caught), and the header works
// from C (status_name_c.c, compiled as C11).
#include "KelPcieApi.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

extern "C" const char *statusNameFromC(int32_t status);
extern "C" int apiVersionFromC(void);

namespace {

// Values of every "#define KELPCIE_ERR_x (-n)" / "LOMPCIE_ERR_x (-n)" in a
// header, read from its source so that the list cannot lag behind it.
std::set<int32_t> definedCodes(const char *path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    static const std::regex define(R"(#define\s+(KELPCIE|LOMPCIE)_ERR_\w+\s+\((-\d+)\))");
    std::set<int32_t> codes;
    for (std::sregex_iterator it(s.begin(), s.end(), define), end; it != end; ++it)
        codes.insert(static_cast<int32_t>(std::stol((*it)[2].str())));
    return codes;
}

} // namespace

TEST(StatusNames, EveryDefinedCodeHasAName)
{
    std::set<int32_t> codes = definedCodes(KELPCIE_HEADER_PATH);
    const std::set<int32_t> driver = definedCodes(LOMPCIE_HEADER_PATH);
    // 16 library values (-991 twice) and the driver's 5: a regex that stops
    // matching would otherwise pass vacuously.
    ASSERT_EQ(codes.size(), 15u);
    ASSERT_EQ(driver.size(), 5u);
    codes.insert(driver.begin(), driver.end());
    for (int32_t code : codes) {
        const char *name = KelPcieStatusName(code);
        ASSERT_NE(name, nullptr);
        EXPECT_STRNE(name, "unknown") << code;
        EXPECT_STRNE(name, "ok") << code;
    }
}

TEST(StatusNames, SharedValueAndOutsideValues)
{
    // -991 is both the capture time-out and the failed first start write.
    const std::string shared = KelPcieStatusName(KELPCIE_ERR_CAPTURE_TIMEOUT);
    EXPECT_NE(shared.find("time-out"), std::string::npos) << shared;
    EXPECT_NE(shared.find("start"), std::string::npos) << shared;

    const struct {
        int32_t status;
        const char *name;
    } rows[] = {{0, "ok"},          {1, "ok"},          {INT32_MAX, "ok"},   {-2, "unknown"},
                {-100, "unknown"},  {-990, "unknown"},  {-9994, "unknown"},  {INT32_MIN, "unknown"}};
    for (const auto &row : rows)
        EXPECT_STREQ(KelPcieStatusName(row.status), row.name) << row.status;
}

TEST(StatusNames, HeaderCompilesAsC)
{
    for (int32_t status : {0, KELPCIE_ERR_FAILED, KELPCIE_ERR_CAPTURE_TIMEOUT, KELPCIE_ERR_RATE_GO,
                           LOMPCIE_ERR_HANDLE, -12345})
        EXPECT_STREQ(statusNameFromC(status), KelPcieStatusName(status)) << status;
    EXPECT_EQ(apiVersionFromC(), KELPCIE_API_VERSION);
}
