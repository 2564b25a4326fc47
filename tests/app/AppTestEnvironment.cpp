// The application object of the window tests: the program's own, so that the tests also see
// how it treats exceptions from event handlers. Made once on the offscreen platform (no
// display needed) and destroyed after the last test.
#include <gtest/gtest.h>
#include <QtGlobal>

#include <memory>

#include "app/PalomixApplication.h"

namespace {

class AppEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app_ = std::make_unique<palomix::PalomixApplication>(argc_, argv_);
        // The tests close windows while others are still to come.
        palomix::PalomixApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { app_.reset(); }

private:
    char name_[16] = "app_tests";
    char* argv_[2] = {name_, nullptr};
    int argc_ = 1;
    std::unique_ptr<palomix::PalomixApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

}  // namespace
