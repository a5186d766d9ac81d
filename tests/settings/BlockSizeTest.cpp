// Block sizes as typed: suffixes and refusals.
#include "BlockSize.h"

#include <gtest/gtest.h>

TEST(BlockSize, TypedSizesAndWhatIsRefused)
{
    struct Row {
        const char* typed;
        qint64 bytes;  // 0: refused by the parser
        bool usable;   // a block size the user may choose
    };
    const Row rows[] = {
        {"8192", 8192, true},     {"64K", 65536, true},      {"64kib", 65536, true},
        {" 1M ", 1 << 20, true},  {"4MiB", 4 << 20, true},   {"16M", 16 << 20, true},
        {"4096B", 4096, true},    {"2K", 2048, false},       {"32M", 32 << 20, false},
        {"3000", 3000, false},    {"12K", 12288, false},     {"1G", 1 << 30, false},
        {"0", 0, false},          {"", 0, false},            {"-8K", 0, false},
        {"1.5M", 0, false},       {"8 KB x", 0, false},      {"99999999999999999999", 0, false},
        {"9999999999G", 0, false},
    };
    for (const Row& r : rows) {
        qint64 bytes = -1;
        const bool parsed = blocksize::parseBytes(QString::fromLatin1(r.typed), &bytes);
        EXPECT_EQ(parsed, r.bytes != 0) << r.typed;
        if (!parsed) {
            EXPECT_EQ(bytes, -1) << r.typed << ": untouched when refused";
            continue;
        }
        EXPECT_EQ(bytes, r.bytes) << r.typed;
        EXPECT_EQ(blocksize::blockBytesProblem(bytes).isEmpty(), r.usable) << r.typed;
    }
}
