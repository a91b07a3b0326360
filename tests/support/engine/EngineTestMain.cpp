#include "TestEnvironment.h"
#include "support/AppIdentity.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

// Engine tests run inside a QCoreApplication so timers, queued calls and sockets work as in the application.
int main(int argc, char** argv) {
    TestEnvironment::isolate();
    QCoreApplication app(argc, argv);
    AppIdentity::apply();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
