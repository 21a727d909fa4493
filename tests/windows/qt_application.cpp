// Every test of this folder needs one QApplication for its widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <string>

#include <unistd.h>

#include "gui/base/shutdown.h"

namespace {

class QtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "test_windows";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);  // lives until the process ends
    // Closing the progress window during a load ends every process of this
    // name: never a Zelvoran that someone has open.
    SetExecutableNameEndedAtExit("zelvoran-tests-end-nothing-" + std::to_string(getpid()));
  }
};

[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
