#include <QCoreApplication>
#include <QLocale>
#include <gtest/gtest.h>

// Every test runs under one event loop owner and the same regional settings, whatever the machine's.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
