#!/usr/bin/env bash
# The program started from outside, as a user would, on the demo registry: its window appears
# centred with the expected caption, columns and rows; the application window, which holds the
# taskbar button, is titled after the executable's file name; closing the window ends the program.
# Usage: mainwindow.sh VELLORAN_EXE WINDOWPROBE_EXE VIEW(64|32)
# shellcheck source=session.sh
. "$(dirname "$0")/session.sh"
e2e_begin "$1" "$2" "$3"

e2e_reg import "$e2e_root/scripts/demo-registry.reg" >/dev/null || e2e_fail "could not seed the registry"

readonly tab=$'\t'
# In enumeration order; registrations without a class key have no row.
readonly demo_rows="Corvane Toolbar Helper$tab{0A4F2C61-5B3E-4D7A-9C18-E2F6B0D3A795}${tab}C:\\Program Files\\Corvane\\Toolbar\\cvtbhelper.dll
Pellmoor Page Translator$tab{1c9e7d35-42a8-4f0b-b6d1-8e3a5c7f2094}$tab%ProgramFiles%\\Pellmoor\\Translator\\pmtrans.dll
Skyrill Download Accelerator$tab{3D5A8F17-9E2C-4B60-A743-6C1E0B9D5F28}$tab
Fendrake Search Assistant$tab{4E1B6C93-07D5-4F28-9A3E-B5C2D8F1A640}${tab}C:\\WINDOWS\\system32\\fdsearch.dll
$tab{5F2C7A08-B3E6-4D91-8C54-1A7E9F0B2D63}${tab}C:\\Documents and Settings\\All Users\\Application Data\\Orlith\\olcoupon.dll
Quibrae Shopping Companion$tab{7B0F4E63-A5C2-4D18-8E79-3F6A9C1D8B20}$tab"
readonly columns="Name${tab}150
GUID${tab}250
File name${tab}300"

expect_equal() {
  [ "$2" = "$3" ] || e2e_fail "$1:
$2
expected:
$3"
}

# NAME: the X window whose name is exactly NAME (xdotool matches names without regard to case).
x_window_named() {
  local window
  for window in $(xdotool search --name "^$1\$" 2>/dev/null); do
    [ "$(xdotool getwindowname "$window")" = "$1" ] && return 0
  done
  return 1
}

cp "$e2e_exe" "$e2e_work/velloran.exe"
e2e_start "$e2e_work/velloran.exe"
e2e_wait_main_window
# (1024 - 733) div 2 and (768 - 370) div 2.
expect_equal "window rectangle (left top width height)" "$(e2e_probe rect)" "145 199 733 370"
# What X shows: the client area lies inside that rectangle and is centred across the screen.
read -r x y width height < <(xwininfo -id "$e2e_main_window_id" | awk '
  /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
  /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }')
centre_offset=$((2 * x + width - 1024))
if [ ${centre_offset#-} -gt 2 ] || [ "$y" -lt 199 ] || [ $((y + height)) -gt 569 ]; then
  e2e_fail "the X window is at ${width}x$height+$x+$y"
fi
expect_equal "columns" "$(e2e_probe columns)" "$columns"
expect_equal "rows" "$(e2e_probe rows)" "$demo_rows"
# The title keeps the file name's first letter as it is.
expect_equal "application window (caption, width, height)" "$(e2e_probe owner)" "velloran${tab}0 0"
e2e_close_program

# Renamed: the title is cut at the first full stop and lower-cased after the first letter.
cp "$e2e_exe" "$e2e_work/HelperList.old.exe"
e2e_start "$e2e_work/HelperList.old.exe"
e2e_wait_main_window
expect_equal "application window (caption, width, height)" "$(e2e_probe owner)" "Helperlist${tab}0 0"
e2e_poll 5 x_window_named Helperlist || e2e_fail "X shows no window named Helperlist"
expect_equal "rows of the renamed program" "$(e2e_probe rows)" "$demo_rows"
e2e_close_program
echo "main window: centred, columns and rows as seeded, application titles velloran and Helperlist"
