// A test executable that selects no test fails: a filter that matches nothing must not pass.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  if (testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
    fprintf(stderr, "No test matched the filter.\n");
    return 1;
  }
  return result;
}
