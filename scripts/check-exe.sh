#!/usr/bin/env bash
# Checks a built velloran.exe: the machine it is for, the hardening flags in its header, that the
# stack protector is linked in with our own guard (from the link map the build left beside it),
# that it imports only DLLs that come with Windows (the MinGW runtime is linked in, never needed
# beside it), and optionally its size.
# Usage: scripts/check-exe.sh EXE LINK_MAP i386|x86-64 [MAX_BYTES]
set -euo pipefail
exe=$1
map=$2
machine=$3
max=${4:-}

fail() {
  echo "$exe: $*" >&2
  exit 1
}

# The 64-bit objdump reads 32-bit executables too.
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
format=$(x86_64-w64-mingw32-objdump -f "$exe" | sed -n 's/.* file format //p')
[ "$format" = "pei-$machine" ] || fail "is $format, not pei-$machine"

# What Microsoft's linker sets by default: ASLR (with 64-bit addresses on x64), DEP, and no
# terminal-server workarounds. objdump names each flag on a line of its own after the field.
flags=" $(awk '/^DllCharacteristics/ { inside = 1; next } inside && /^\t\t/ { print $1; next }
  { inside = 0 }' <<<"$headers" | sort -u | tr '\n' ' ')"
needed=(DYNAMIC_BASE NX_COMPAT TERMINAL_SERVICE_AWARE)
[ "$machine" != x86-64 ] || needed+=(HIGH_ENTROPY_VA)
for flag in "${needed[@]}"; do
  [[ $flags == *" $flag "* ]] || fail "lacks $flag in its header (it has:$flags)"
done
# Stack cookies: some function of ours calls the stack protector's check, and the linker took the
# check, with its guard, from app/StackGuard.cpp, never from libssp (whose start-up loads the
# CryptoAPI) nor any other toolchain library.
[ -s "$map" ] || fail "has no link map at $map"
# The map names each archive member it took on a line of its own, then on the next line (or after
# it, on the same line) the object that needed it and the symbol.
provider=$(awk '/^[^[:space:]]/ { member = $1 }
  /^([^[:space:]]+)?[[:space:]]+[^/[:space:]][^[:space:]]*\.obj\) \(__stack_chk_fail\)$/ {
    print member; exit }' "$map")
[ -n "$provider" ] ||
  fail "has no stack protector linked in: no object of ours calls __stack_chk_fail ($map)"
[[ $provider == */libvelloran_stack_guard.a\(StackGuard.cpp.obj\) ]] ||
  fail "takes the stack protector's check from $provider, not from app/StackGuard.cpp ($map)"
! grep -q 'libssp' "$map" || fail "links libssp in ($map)"

# The system DLLs the program may use; anything else would have to be shipped beside it.
windows_dlls=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
  oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll "
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr '[:upper:]' '[:lower:]')
[ -n "$imports" ] || fail "imports no DLL at all: not a program"
for dll in $imports; do
  [[ $windows_dlls == *" $dll "* ]] || fail "imports $dll, which does not come with Windows"
done
if [ -n "$max" ]; then
  size=$(stat -c %s "$exe")
  [ "$size" -lt "$max" ] || fail "is $size bytes, not under $max"
fi
