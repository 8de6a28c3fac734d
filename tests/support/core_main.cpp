#include <QCoreApplication>

#include <gtest/gtest.h>

// The tests of the code below the windows run without a window system.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
