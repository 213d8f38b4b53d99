// Started by StackGuardTest. With no argument it ends with the low half of its stack guard as its
// exit code. With a number, it writes that many bytes into a 16-byte buffer on its stack and
// returns, which the guard must not let it do when the number is larger.
#include <cstdint>
#include <cstdlib>

extern "C" uintptr_t __stack_chk_guard;

namespace {

__attribute__((noinline)) void Fill(size_t length) {
  char buffer[16];
  volatile char* target = buffer;  // stores the compiler may not drop
  for (size_t index = 0; index < length; ++index) {
    target[index] = 'x';
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    return static_cast<int>(__stack_chk_guard & 0xFFFFFFFFu);
  }
  Fill(std::strtoul(argv[1], nullptr, 10));
  return 0;
}
