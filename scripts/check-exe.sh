#!/usr/bin/env bash
# Checks a built velloran.exe: the machine it is for, that it imports only DLLs that come with
# Windows (the MinGW runtime is linked in, never needed beside it), and optionally its size.
# Usage: scripts/check-exe.sh EXE i386|x86-64 [MAX_BYTES]
set -euo pipefail
exe=$1
machine=$2
max=${3:-}

fail() {
  echo "$exe: $*" >&2
  exit 1
}

# The 64-bit objdump reads 32-bit executables too.
format=$(x86_64-w64-mingw32-objdump -f "$exe" | sed -n 's/.* file format //p')
[ "$format" = "pei-$machine" ] || fail "is $format, not pei-$machine"
# The system DLLs the program may use; anything else would have to be shipped beside it.
windows_dlls=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
  oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll "
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' |
  tr '[:upper:]' '[:lower:]')
[ -n "$imports" ] || fail "imports no DLL at all: not a program"
for dll in $imports; do
  [[ $windows_dlls == *" $dll "* ]] || fail "imports $dll, which does not come with Windows"
done
if [ -n "$max" ]; then
  size=$(stat -c %s "$exe")
  [ "$size" -lt "$max" ] || fail "is $size bytes, not under $max"
fi
