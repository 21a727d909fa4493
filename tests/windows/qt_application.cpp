// Every test of this folder needs one QApplication for its widgets.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

class QtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "test_windows";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);  // lives until the process ends
  }
};

[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
