// A test executable that selects no test fails: a filter that matches nothing must not pass.
// On Windows the suites write to and delete from the system registry, so they run only inside
// a throwaway Wine prefix, which scripts/wine-prefix.sh marks; anywhere else they refuse.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

namespace {

bool InThrowawayPrefix() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Velloran Test Prefix", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS) {
    return false;
  }
  const bool marked =
      RegQueryValueExA(key, "Throwaway", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return marked;
}

}  // namespace
#endif

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
  if (!InThrowawayPrefix()) {
    fprintf(stderr,
            "Refusing to run: these tests write to the registry and run only in a throwaway Wine "
            "prefix made by scripts/wine-prefix.sh (HKCU\\Software\\Velloran Test Prefix has no "
            "value Throwaway here).\n");
    return 1;
  }
#endif
  const int result = RUN_ALL_TESTS();
  if (testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
    fprintf(stderr, "No test matched the filter.\n");
    return 1;
  }
  return result;
}
