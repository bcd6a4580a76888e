// Every test here runs on Qt's offscreen platform with one application object for the run.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "qt_tests";
        static char* argv[] = {name, nullptr};
        FApp = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete FApp;
        FApp = nullptr;
    }

private:
    QApplication* FApp = nullptr;
};

[[maybe_unused]] ::testing::Environment* const Env = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace
