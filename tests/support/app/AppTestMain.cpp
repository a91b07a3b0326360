#include "TestEnvironment.h"
#include "support/AppIdentity.h"

#include <QApplication>
#include <gtest/gtest.h>

// Desktop tests need a widget application; the platform is offscreen unless the test runs under Xvfb.
int main(int argc, char** argv) {
    TestEnvironment::isolate();
    // Test discovery runs the program without the tests' environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AppIdentity::apply();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
