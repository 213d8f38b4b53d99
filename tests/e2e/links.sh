#!/usr/bin/env bash
# Registry links in and as registrations, removed from outside as a user would: a registration
# that is a link to a key with subkeys, one that is a link to a leaf key, and one holding a link
# to a tree and a link to a leaf. Every row goes, every link goes as the link, every target stays,
# and Wine's registry trace shows that no link ever reached RegDeleteKeyA, which on Windows would
# open it again and reach its target.
# Usage: links.sh VELLORAN_EXE WINDOWPROBE_EXE REGLINK_EXE VIEW(64|32)
# shellcheck source=session.sh
. "$(dirname "$0")/session.sh"
e2e_begin "$1" "$2" "$4"
reglink_exe=$3

readonly tests_key='HKLM\SOFTWARE\Velloran Tests'
# Where the links point, as the program's view names them natively.
if [ "$e2e_view" = 64 ]; then
  native_tests='\Registry\Machine\SOFTWARE\Velloran Tests'
else
  native_tests='\Registry\Machine\SOFTWARE\Wow6432Node\Velloran Tests'
fi
readonly to_tree='{6A000000-0000-4000-8000-000000000001}'
readonly to_leaf='{6B000000-0000-4000-8000-000000000002}'
readonly holding='{6C000000-0000-4000-8000-000000000003}'
readonly targets=(Tree Tree\\Deep Leaf RegistrationLeaf)

for target in "${targets[@]}"; do
  e2e_reg add "$tests_key\\$target" /v Kept /d yes /f >/dev/null || e2e_fail "could not add $target"
done
e2e_reg add "$e2e_helper_object_key\\$holding" /f >/dev/null || e2e_fail "could not add $holding"
helper_objects=${e2e_helper_object_key#HKLM\\}
link() {
  e2e_wine "$reglink_exe" "$helper_objects\\$1" "$native_tests\\$2" ||
    e2e_fail "could not link $1 to $2"
}
link "$to_tree" Tree
link "$to_leaf" RegistrationLeaf
link "$holding\\Settings" Tree
link "$holding\\Leaf" Leaf
for guid in "$to_tree" "$to_leaf" "$holding"; do
  e2e_reg add "HKCR\\CLSID\\$guid" /ve /d "Linked $guid" /f >/dev/null
  e2e_reg add "HKCR\\CLSID\\$guid\\InprocServer32" /ve /d "C:\\nowhere\\$guid.dll" /f >/dev/null
done

# Wine's registry trace shows each key the program opens and deletes.
WINEDEBUG=+reg e2e_start "$e2e_exe"
e2e_wait_main_window
[ "$(e2e_probe rows | wc -l)" = 3 ] || e2e_fail "rows shown: $(e2e_probe rows)"
xdotool key Home shift+End Delete
e2e_poll 10 velloran_visible_window 'please confirm' >/dev/null || e2e_fail "Delete showed no confirmation"
xdotool key Return
rows_gone() {
  [ -z "$(e2e_probe rows)" ]
}
e2e_poll 10 rows_gone || e2e_fail "rows left: $(e2e_probe rows)"
# No server here can be loaded: the tool fails for each, and must say so to nobody.
e2e_expect_tools_ended
e2e_close_program

for guid in "$to_tree" "$to_leaf" "$holding"; do
  e2e_key_missing "$e2e_helper_object_key\\$guid" || e2e_fail "the registration $guid is still there"
done
for target in "${targets[@]}"; do
  [ "$(e2e_reg query "$tests_key\\$target" /v Kept | grep -c 'REG_SZ *yes')" = 1 ] ||
    e2e_fail "the link target $target went"
done

# No link reached RegDeleteKeyA, which Wine traces as an open for DELETE (10000) of a name, or of
# "" relative to a handle whose open the trace shows before: on Windows that open would follow
# the link to its target. The program deletes a link only through the link's own handle.
tr -d '\r' <"$e2e_work/program.log" | awk '
  /:trace:reg:NtOpenKeyEx \(/ {
    line = $0
    sub(/.*NtOpenKeyEx \(/, "", line)
    split(line, part, ",")
    name = part[2]
    sub(/^L"/, "", name)
    sub(/"$/, "", name)
    opened = name
    if (part[3] == "10000") {
      deleted = name == "" ? handle[part[1]] : name
      if (deleted ~ /^(\{6A000000|\{6B000000|Settings$|Leaf$)/) bad = bad " " deleted
      deletes++
    }
    next
  }
  /:trace:reg:NtOpenKeyEx <- / { handle[$NF] = opened }
  END {
    if (bad != "") { print "RegDeleteKeyA reached links:" bad; exit 1 }
    if (deletes == 0) { print "the trace shows no RegDeleteKeyA at all"; exit 1 }
  }' >&2 || e2e_fail "a link reached RegDeleteKeyA"
echo "links: every registration went, its links as links, and every target stayed"
