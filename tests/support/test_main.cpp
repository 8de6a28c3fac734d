#include <gtest/gtest.h>

#ifdef QUILLFEN_TEST_WINDOWS
#include <QApplication>
using Application = QApplication;
#else
// The tests of the code below the windows run without a window system.
#include <QCoreApplication>
using Application = QCoreApplication;
#endif

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
