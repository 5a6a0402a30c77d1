#include "app/headlesscheck.h"

#include <QCoreApplication>
#include <iostream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Quorvell");
    QCoreApplication::setApplicationName("Veltrane");
    return veltrane::runHeadlessCheck(QCoreApplication::arguments(), std::cout, std::cerr);
}
