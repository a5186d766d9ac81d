// The replay source as both the acquisition thread and the single
// acquisition use it: records follow each other and wrap, a file that shrank
// below the position is read from its start at once, a missing file keeps
// the position for when it comes back, and any other failure starts over.
#include "RecordSource.h"
#include "TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace testsupport;

namespace {

struct Record {
    std::vector<double> ch[4];
    double* ptr[4];
    explicit Record(int n)
    {
        for (int k = 0; k < 4; ++k) {
            ch[k].assign(std::size_t(n), -1.0);
            ptr[k] = ch[k].data();
        }
    }
};

} // namespace

TEST(ReplaySource, RecordsFollowEachOtherAndFailuresKeepOrResetThePosition)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.bin"));
    QString current = path;
    acquisition::ReplaySource source([&current] { return current; });
    const int n = 8;
    Record rec(n);

    // Three records of 8 samples: 1, 2, 3, then 1 again.
    ASSERT_TRUE(writeFile(path, makeStream(3 * n)));
    for (int r : {0, 1, 2, 0}) {
        ASSERT_TRUE(source.next(rec.ptr, n)) << r;
        EXPECT_EQ(rec.ch[2][0], double(codeOf(r * n, 2))) << r;
    }
    EXPECT_EQ(source.offset(), 64);

    struct Case {
        const char* what;
        QByteArray content;    // written to the file unless missing
        bool missing;
        bool record;           // a record comes out
        qint64 offsetAfter;
    };
    const Case cases[] = {
        // Missing: the position waits for the file to come back.
        {"missing", QByteArray(), true, false, 64},
        // Shrunk to one record: read from its start at once.
        {"shrunk", makeStream(n), false, true, 0},
        // Empty: nothing to read, start over.
        {"empty", QByteArray(), false, false, 0},
    };
    for (const Case& c : cases) {
        source.setOffset(64);
        QFile::remove(path);
        if (!c.missing) {
            ASSERT_TRUE(writeFile(path, c.content)) << c.what;
        }
        LogCapture log;
        EXPECT_EQ(source.next(rec.ptr, n), c.record) << c.what;
        EXPECT_EQ(source.offset(), c.offsetAfter) << c.what;
        if (!c.record) {
            EXPECT_EQ(log.countContaining(path), 1) << c.what;
        }
    }
}
