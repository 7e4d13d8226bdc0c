// Linked into every test program: tests find the built programs and the
// source tree through these variables, and Qt draws offscreen. Values already
// in the environment win, so a run can point the tests elsewhere.
#include <cstdlib>

namespace {

struct TestEnvironment {
  TestEnvironment() {
    setenv("VANTREL_PROGRAM_DIR", VANTREL_TEST_PROGRAM_DIR, 0);
    setenv("VANTREL_SOURCE_DIR", VANTREL_TEST_SOURCE_DIR, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
};

const TestEnvironment g_environment;

}  // namespace
