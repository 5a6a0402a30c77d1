#include "ui/pictures.h"

#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

// Windows need a QApplication; otherwise as every other test: the same regional settings everywhere.
// Without a platform named they draw offscreen, also when CTest lists them at build time.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    veltrane::initPictures();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
