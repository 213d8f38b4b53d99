// The guard and the failure routine behind the compiler's stack cookies, in place of GCC's libssp.
// libssp seeds its guard through the CryptoAPI, which loads three DLLs before the window can show,
// 60 to 80 ms more at every start under Wine. Microsoft's runtime seeds its cookie from what the
// process already has at hand, and this guard is seeded the same way; a check that fails ends the
// program the way Microsoft's runtime ends it. Every program and DLL built for Windows links this
// in (the top-level CMakeLists.txt), so the tests run under it too.

#include <windows.h>

#include <cstdint>

namespace {

// What the guard holds until it is seeded. Only the runtime's own start-up, built without cookies,
// runs before the seeding.
constexpr uintptr_t kUnseeded = static_cast<uintptr_t>(0x2B992DDFA232ull);

// Ends the process without unwinding or running any handler, and Windows reports why.
[[noreturn]] void FastFail(unsigned int code) {
  asm volatile("int $0x29" : : "c"(code) : "memory");
  __builtin_unreachable();
}

// The seed's parts differ little from one start to the next in their high bits; this spreads each
// bit of them over all of the guard (the finalizer of SplitMix64).
uint64_t Spread(uint64_t bits) {
  bits = (bits ^ (bits >> 30)) * 0xBF58476D1CE4E5B9ull;
  bits = (bits ^ (bits >> 27)) * 0x94D049BB133111EBull;
  return bits ^ (bits >> 31);
}

}  // namespace

extern "C" {

uintptr_t __stack_chk_guard = kUnseeded;

[[noreturn]] void __stack_chk_fail() {
  // The stack can no longer be trusted, so nothing of the program's may run on it. Windows 7 has no
  // fast fail; there the process ends with the same status.
  if (IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE)) {
    FastFail(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE);
  }
  TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  __builtin_trap();
}

}  // extern "C"

namespace {

// Runs before every constructor of ours (priorities up to 100 are the toolchain's, which builds
// nothing with cookies). It carries no cookie itself: the guard changes while it runs. The parts
// are those of Microsoft's runtime: the time, the process and thread, the tick and performance
// counters, and the stack's address, which ASLR places anew at each start.
__attribute__((constructor(101), no_stack_protector)) void SeedStackGuard() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  uint64_t seed = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  seed ^= GetCurrentProcessId();
  seed ^= static_cast<uint64_t>(GetCurrentThreadId()) << 32;
  seed ^= static_cast<uint64_t>(GetTickCount()) << 16;
  seed ^= Spread(static_cast<uint64_t>(counter.QuadPart));
  seed ^= reinterpret_cast<uintptr_t>(&counter);
  seed = Spread(seed);
  auto guard = static_cast<uintptr_t>(seed ^ (sizeof(uintptr_t) < sizeof(seed) ? seed >> 32 : 0));
  __stack_chk_guard = guard != kUnseeded ? guard : ~guard;
}

}  // namespace
