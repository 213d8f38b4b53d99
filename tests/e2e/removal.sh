#!/usr/bin/env bash
# Removal driven from outside, as a user would: a real COM server registered with Wine's regsvr32
# and two registrations that must survive; the user selects the server's row, presses Delete and
# answers the confirmation first with No (nothing may change), then with Yes: the server's own
# unregistration must remove its class key, the program must delete its registration key and
# row, and every other registration and class key must stay byte for byte as it was. The server
# file is registered as installers write it, REG_EXPAND_SZ with an environment reference, which
# the registration tool does not expand: the program must hand it the file COM would load.
# Usage: removal.sh VELLORAN_EXE TESTSERVER_DLL WINDOWPROBE_EXE VIEW(64|32) [SCREENSHOT_DIR]
# shellcheck source=session.sh
. "$(dirname "$0")/session.sh"
e2e_begin "$1" "$3" "$4"
server_dll=$2
screenshots=${5:-}

readonly server_guid='{5A3C9E21-7B4D-4F86-A1E2-3C5D7F9B0E64}'
readonly server_class="HKCR\\CLSID\\$server_guid"
readonly server_registration="$e2e_helper_object_key\\$server_guid"
if [ "$e2e_view" = 64 ]; then program_files='Program Files'; else program_files='Program Files (x86)'; fi
# A path with a space in it: the program must quote it on regsvr32's command line.
readonly server_path="C:\\$program_files\\Velloran Tests\\testserver.dll"
# The same file as the program's own environment names it: a 32-bit program's %ProgramFiles% is
# the 32-bit folder, as for 32-bit COM.
readonly stored_server_path='%ProgramFiles%\Velloran Tests\testserver.dll'

mkdir -p "$WINEPREFIX/drive_c/$program_files/Velloran Tests"
cp "$server_dll" "$WINEPREFIX/drive_c/$program_files/Velloran Tests/testserver.dll"
e2e_wine regsvr32 /s "$server_path" || e2e_fail "regsvr32 could not register the test server"
e2e_key_exists "$server_class\\InprocServer32" || e2e_fail "the test server registered no class key"
e2e_key_exists "$server_registration" || e2e_fail "the test server registered no helper object"
e2e_reg add "$server_class\\InprocServer32" /ve /t REG_EXPAND_SZ /d "$stored_server_path" /f \
  >/dev/null || e2e_fail "could not store the server path with an environment reference"
# A subkey of the registration key: the program must delete the key with everything below it.
e2e_reg add "$server_registration\\Settings" /v Enabled /t REG_DWORD /d 1 /f >/dev/null

# The survivors sort before and after the server, so its row is the middle one.
cat >"$e2e_work/survivors.reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{2D8B6F40-1C3A-4E95-B7D2-9A0E4C6F8B13}]
"NoExplorer"="1"

[HKEY_CLASSES_ROOT\CLSID\{2D8B6F40-1C3A-4E95-B7D2-9A0E4C6F8B13}]
@="Survivor Before"

[HKEY_CLASSES_ROOT\CLSID\{2D8B6F40-1C3A-4E95-B7D2-9A0E4C6F8B13}\InprocServer32]
@="C:\\Program Files\\Survivor\\before.dll"
"ThreadingModel"="Apartment"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{8E1C4A72-D5B9-4F03-A6E8-2B7D0F3C9A51}]

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{8E1C4A72-D5B9-4F03-A6E8-2B7D0F3C9A51}\Options]
"Level"=dword:00000003

[HKEY_CLASSES_ROOT\CLSID\{8E1C4A72-D5B9-4F03-A6E8-2B7D0F3C9A51}]
@="Survivor After"

[HKEY_CLASSES_ROOT\CLSID\{8E1C4A72-D5B9-4F03-A6E8-2B7D0F3C9A51}\InprocServer32]
@="C:\\Program Files\\Survivor\\after.dll"
"ThreadingModel"="Both"
REG
e2e_reg import "$e2e_work/survivors.reg" >/dev/null || e2e_fail "could not import the survivors"

# EXPORT_NAME: the helper-object key and every class key, as text.
export_registry() {
  local key
  for key in "$e2e_helper_object_key" 'HKLM\Software\Classes\CLSID'; do
    # One retry: on a loaded machine Wine's reg export was once seen to fail without a word.
    e2e_reg export "$key" "$e2e_work/export.reg" /y >/dev/null ||
      e2e_reg export "$key" "$e2e_work/export.reg" /y >/dev/null || e2e_fail "could not export $key"
    iconv -f UTF-16 -t UTF-8 "$e2e_work/export.reg"
  done >"$e2e_work/$1"
}
# The export without the sections of the test server's own keys.
without_server() {
  awk -v guid="$server_guid" '
    /^\[/ { skip = index(toupper($0), "\\" guid "]") || index(toupper($0), "\\" guid "\\") }
    !skip' "$e2e_work/$1"
}
export_registry before
grep -qiF "$server_guid" "$e2e_work/before" || e2e_fail "the export holds no key of the test server"

readonly tab=$'\t'
readonly all_rows="Survivor Before$tab{2D8B6F40-1C3A-4E95-B7D2-9A0E4C6F8B13}${tab}C:\\Program Files\\Survivor\\before.dll
Velloran Test Helper$tab$server_guid$tab$stored_server_path
Survivor After$tab{8E1C4A72-D5B9-4F03-A6E8-2B7D0F3C9A51}${tab}C:\\Program Files\\Survivor\\after.dll"
survivor_rows=$(sed -n '1p;3p' <<<"$all_rows")
readonly survivor_rows

rows_are() {
  [ "$(e2e_probe rows)" = "$1" ]
}
expect_rows() {
  rows_are "$1" || e2e_fail "rows shown:
$(e2e_probe rows)
expected:
$1"
}
dialog_gone() {
  ! velloran_visible_window 'please confirm' >/dev/null
}
selection_is() {
  [ "$(e2e_probe selection)" = "$1" ]
}
main_window_active() {
  [ "$(xdotool getactivewindow 2>/dev/null)" = "$e2e_main_window_id" ]
}
confirmation() {
  xdotool key Delete
  e2e_poll 10 velloran_visible_window 'please confirm' >/dev/null ||
    e2e_fail "Delete showed no confirmation"
}

e2e_start "$e2e_exe"
e2e_wait_main_window
expect_rows "$all_rows"

# No: the user clicks the server's row.
read -r x y < <(e2e_probe rowpoint 1) || e2e_fail "no position for row 1"
xdotool mousemove "$x" "$y" click 1
e2e_poll 5 selection_is 1 || e2e_fail "clicking row 1 selected: $(e2e_probe selection)"
confirmation
xdotool key n
e2e_poll 10 dialog_gone || e2e_fail "the confirmation stayed open after No"
# The keyboard works on in the main window: the box gave back the activation it took.
e2e_poll 5 main_window_active || e2e_fail "the main window was not active again after the box"
# The probe's messages are answered only after the command handler returned.
expect_rows "$all_rows"
export_registry after_no
cmp -s "$e2e_work/before" "$e2e_work/after_no" ||
  e2e_fail "answering No changed the registry: $(diff "$e2e_work/before" "$e2e_work/after_no")"

# Yes: this time the row is chosen with the keyboard.
xdotool key Home Down
e2e_poll 5 selection_is 1 || e2e_fail "Home Down selected: $(e2e_probe selection)"
confirmation
if [ -n "$screenshots" ]; then
  velloran_settled_screenshot "$(velloran_frame_geometry "$e2e_main_window_id")" \
    "$screenshots/confirm-removal.png"
fi
# A tool wrongly started by the No answer would have removed the class key by now.
e2e_key_exists "$server_class" || e2e_fail "the class key went away before Yes was pressed"
xdotool key Return
e2e_poll 10 dialog_gone || e2e_fail "the confirmation stayed open after Yes"

e2e_poll 10 e2e_key_missing "$server_class" ||
  e2e_fail "the server's class key is still there: its unregistration did not run"
e2e_key_missing "$server_registration" || e2e_fail "the registration key is still there"
expect_rows "$survivor_rows"
e2e_expect_tools_ended
e2e_close_program
export_registry after_yes
diff <(without_server before) "$e2e_work/after_yes" >"$e2e_work/changes" ||
  e2e_fail "keys other than the server's changed:
$(cat "$e2e_work/changes")"
echo "removal: No kept everything; Yes unregistered the server and kept the survivors"
