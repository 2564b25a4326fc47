// The QApplication that every widget test needs, made once for the whole test program on
// the offscreen platform (so no display is needed) and destroyed after the last test.
#include <gtest/gtest.h>
#include <QApplication>
#include <QtGlobal>

#include <memory>

namespace {

class QtEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    char name_[16] = "widgets_tests";
    char* argv_[2] = {name_, nullptr};
    int argc_ = 1;
    std::unique_ptr<QApplication> app_;
};

// GoogleTest owns the environment once it is registered.
[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
