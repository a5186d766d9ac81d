// Entry of the GUI test programs: GoogleTest with a QApplication around it.
// Listing the tests (CTest's discovery) needs no application, so a machine
// without a display can list them; running them uses the offscreen platform
// unless the environment chooses another.
#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
