// Qt's loop and the widgets need one application object for the whole test
// run: MORVIK_TEST_QT_APPLICATION names its class (QApplication for the
// widget tests, QCoreApplication for the loop's). CMake runs these programs on
// Qt's offscreen platform.

#include MORVIK_TEST_QT_APPLICATION_HEADER

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "morvik_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<MORVIK_TEST_QT_APPLICATION>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<MORVIK_TEST_QT_APPLICATION> app_;
};

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
