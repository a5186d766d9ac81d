// CSV writing: a round trip through a real file, and failures that must
// leave neither a half-written target nor a temporary behind.
#include "CsvFile.h"
#include "Fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace h452;

namespace {

std::string makeTempDir()
{
    char name[] = "/tmp/h452-csv-XXXXXX";
    return ::mkdtemp(name) ? name : "";
}

int entriesIn(const std::string& dir)
{
    int count = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            count += e->d_name[0] != '.';
        ::closedir(d);
    }
    return count;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(CsvFile, SpectrumRoundTripKeepsPrintedPrecision)
{
    const std::string dir = makeTempDir();
    ASSERT_FALSE(dir.empty());
    const int n = 1000;
    std::vector<double> f(n / 2), level(n / 2);
    binFrequencyAxis(n, 1e9, f.data());
    for (int k = 0; k < n / 2; ++k)
        level[k] = -150.0 + 0.123456789123 * k;
    level[3] = -INFINITY;
    std::string text;
    appendSpectrumCsvHeader(text);
    appendSpectrumCsvRows(text, 7, 2, f.data(), level.data(), n / 2);
    std::string error;
    ASSERT_TRUE(writeFileAtomically(dir + "/s.csv", text, error)) << error;
    EXPECT_EQ(entriesIn(dir), 1);  // no temporary left

    std::istringstream in(readFile(dir + "/s.csv"));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "record,channel,freq_hz,level_db");
    int k = 0;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = splitCsvLine(line);
        ASSERT_EQ(fields.size(), 4u) << line;
        EXPECT_EQ(fields[0], "7");
        EXPECT_EQ(fields[1], "2");
        // Ten significant digits: relative 5e-10 at most.
        EXPECT_NEAR(std::strtod(fields[2].c_str(), nullptr), f[k], 5e-10 * std::fabs(f[k]) + 1e-300);
        const double back = std::strtod(fields[3].c_str(), nullptr);
        if (std::isinf(level[k]))
            EXPECT_EQ(back, level[k]);
        else
            EXPECT_NEAR(back, level[k], 5e-10 * std::fabs(level[k]));
        ++k;
    }
    EXPECT_EQ(k, n / 2);
    std::remove((dir + "/s.csv").c_str());
    ::rmdir(dir.c_str());
}

TEST(CsvFile, FailuresLeaveTargetAndFolderAsTheyWere)
{
    const std::string dir = makeTempDir();
    ASSERT_FALSE(dir.empty());
    std::string error;
    // A folder that does not exist: refused with a message naming the file.
    EXPECT_FALSE(writeFileAtomically(dir + "/missing/x.csv", "a\n", error));
    EXPECT_NE(error.find("missing/x.csv"), std::string::npos);

    // Replacing works; a writer dropped before commit leaves the old file.
    ASSERT_TRUE(writeFileAtomically(dir + "/x.csv", "old\n", error));
    ASSERT_TRUE(writeFileAtomically(dir + "/x.csv", "new\n", error));
    EXPECT_EQ(readFile(dir + "/x.csv"), "new\n");
    {
        AtomicFileWriter writer;
        ASSERT_TRUE(writer.open(dir + "/x.csv", error));
        writer.write("half");
    }
    EXPECT_EQ(readFile(dir + "/x.csv"), "new\n");
    EXPECT_EQ(entriesIn(dir), 1);

    // A target that is a folder: the rename fails and the temporary goes.
    ASSERT_EQ(::mkdir((dir + "/d").c_str(), 0700), 0);
    EXPECT_FALSE(writeFileAtomically(dir + "/d", "x\n", error));
    EXPECT_EQ(entriesIn(dir), 2);
    ::rmdir((dir + "/d").c_str());
    std::remove((dir + "/x.csv").c_str());
    ::rmdir(dir.c_str());
}
