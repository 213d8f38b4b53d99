#!/usr/bin/env bash
# Builds the benchmarks and runs them: natively against the stand-in registry, and the 64-bit
# Windows build under Wine against the registry of a throwaway prefix (null display driver).
# Writes the figures beside their targets, and the machine they came from, to
# docs/benchmarks.md. Asserts nothing; it takes several minutes.
# Usage: scripts/bench.sh [REPETITIONS]   (medians of REPETITIONS runs each, 5 without one)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repetitions=${1:-5}
build=${VELLORAN_BUILD_DIR:-$root/build}
results=$build/bench-results
report=$root/docs/benchmarks.md
jobs=2
# dpkg-dev fetches Google Benchmark's sources for the cross build.
"$root/scripts/install-deps.sh" dpkg-dev
mkdir -p "$results"

# Debian packages Google Benchmark for the native compiler only. The cross build compiles its
# sources, from Debian's source package, fetched through this machine's own package sources (a
# mirror of its choosing, keys and all): their deb-src twins, in a private apt configuration for
# this one fetch, so nothing is written into the system's.
fetch_benchmark_sources() {
  local dir=$1 apt=$build/benchmark-apt file status=0
  rm -rf "$apt"
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
  : >"$apt/sources.list"
  # One-line entries (deb [options] URI SUITE COMPONENT...) and deb822 stanzas alike.
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ ! -f "$file" ] || sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file" >>"$apt/sources.list"
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ ! -f "$file" ] || sed 's/^Types:.*/Types: deb-src/' "$file" >"$apt/sources.list.d/${file##*/}"
  done
  local options=(-q -o "Dir::Etc::SourceList=$apt/sources.list"
    -o "Dir::Etc::SourceParts=$apt/sources.list.d" -o "Dir::State::Lists=$apt/lists"
    -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=$(id -un)")
  # Some repositories publish no sources; whether that matters, the fetch says.
  apt-get "${options[@]}" update >"$apt/update.log" 2>&1 || true
  mkdir -p "$dir"
  (cd "$dir" && apt-get "${options[@]}" source benchmark) >"$apt/source.log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    echo "could not fetch Google Benchmark's sources (Debian's source package benchmark) through" \
      "this machine's package sources; apt-get said:" >&2
    grep -hE '^(E|W): ' "$apt/update.log" "$apt/source.log" | sed 's/^/  /' >&2
    rm -rf "$dir"
  fi
  return $status
}

# Prints the folder of Google Benchmark's sources, fetched once into the build folder.
benchmark_sources() {
  local dir=$build/benchmark-source found
  found=$(find "$dir" -maxdepth 2 -name CMakeLists.txt -path '*/benchmark-*' 2>/dev/null | head -n 1) || true
  if [ -z "$found" ]; then
    fetch_benchmark_sources "$dir" || return 1
    found=$(find "$dir" -maxdepth 2 -name CMakeLists.txt -path '*/benchmark-*' | head -n 1)
    [ -n "$found" ] || { echo "no Google Benchmark sources in what was fetched into $dir" >&2; return 1; }
  fi
  dirname "$found"
}

echo "== native: build"
native=$build/bench-native
cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release >"$native.configure.log" 2>&1 ||
  { cat "$native.configure.log"; exit 1; }
cmake --build "$native" --target velloran_bench -j $jobs >"$native.build.log" 2>&1 ||
  { tail -n 60 "$native.build.log"; exit 1; }

echo "== windows-x86_64: build"
windows=$build/bench-windows-x86_64
source_dir=$(benchmark_sources) || exit 1
cmake -S "$root" -B "$windows" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
  -DVELLORAN_BENCHMARK_SOURCE="$source_dir" >"$windows.configure.log" 2>&1 ||
  { cat "$windows.configure.log"; exit 1; }
cmake --build "$windows" --target velloran velloran_bench velloran_bare_window \
  velloran_startup_probe velloran_list_memory -j $jobs >"$windows.build.log" 2>&1 ||
  { tail -n 60 "$windows.build.log"; exit 1; }

# Repetitions not interleaved: each change of size reseeds the prefix's registry, and the
# wineserver then writes the whole registry to disk at times, stalling every registry call.
gb_flags=(--benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true
  --benchmark_out_format=csv)

echo "== native: run (stand-in registry)"
(cd "$results" && "$native/bench/velloran_bench" "${gb_flags[@]}" --benchmark_out=native.csv)

. "$root/scripts/wine-prefix.sh"
trap velloran_drop_prefix EXIT
velloran_new_prefix null || exit 1
# A crash must end the run, not wait in Wine's crash dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1

echo "== windows-x86_64: run under Wine (the prefix's registry)"
(cd "$results" &&
  timeout 1800 wine "$windows/bench/velloran_bench.exe" "${gb_flags[@]}" \
    --benchmark_out=windows.csv |
  tr -d '\r')

echo "== start-up and peak working set"
program=$(winepath -w "$windows/app/velloran.exe")
bare=$(winepath -w "$windows/bench/velloran_bare_window.exe")
probe() {
  timeout 900 wine "$windows/bench/velloran_startup_probe.exe" "$@" | tr -d '\r' |
    tee -a "$results/startup.txt"
}
: >"$results/startup.txt"
probe 20 "$repetitions" "$bare" "$program"
probe 4000 "$repetitions" "$program"
probe 10000 "$repetitions" "$program"

echo "== where a full list keeps its memory"
for mode in plain window; do
  timeout 600 wine "$windows/bench/velloran_list_memory.exe" "$mode" 10000 | tr -d '\r'
done >"$results/memory.txt"
cat "$results/memory.txt"

echo "== the release executable"
"$root/scripts/release.sh" >"$results/release.log" 2>&1 || { tail -n 30 "$results/release.log"; exit 1; }
exe=$root/dist/x64/velloran.exe
exe_source="dist/x64/velloran.exe (scripts/release.sh)"
exe_bytes=$(stat -c %s "$exe")

# ---- the report -------------------------------------------------------------------------
# The median real time, in milliseconds, of a benchmark in a CSV file.
median() {
  awk -F, -v name="\"$2_median\"" '$1 == name { printf ($3 >= 10 ? "%.0f" : "%.2f"), $3 }' \
    "$results/$1"
}
startup() {  # registrations program field
  awk -v r="registrations=$1" -v p="$2" -v f="$3=" '$2 == p && $3 == r {
    for (i = 1; i <= NF; ++i) if (index($i, f) == 1) print substr($i, length(f) + 1) }' \
    "$results/startup.txt"
}
# n/a where a figure is missing (a benchmark that failed).
calc() { awk "BEGIN { printf \"$1\", $2 }" 2>/dev/null || echo n/a; }
verdict() { awk "BEGIN { print ($1) ? \"met\" : \"**not met**\" }"; }

wl=$(median windows.csv window_listing/10000)
wf=$(median windows.csv window_floor/10000)

bare20=$(startup 20 velloran_bare_window.exe median_ms)
prog20=$(startup 20 velloran.exe median_ms)
startup_gap=$(calc %.0f "$prog20 - $bare20")
r100=$(median windows.csv window_removal/100/iterations:1)
r1000=$(median windows.csv window_removal/1000/iterations:1)
r10000=$(median windows.csv window_removal/10000/iterations:1)
removal_growth=$(calc %.2f "($r10000 / 10000) / ($r1000 / 1000)")
peak=$(startup 10000 velloran.exe peak_working_set_mib)
bare_peak=$(startup 20 velloran_bare_window.exe peak_working_set_mib)
exe_kib=$(calc %.0f "$exe_bytes / 1024")
wf2=$(median windows.csv window_floor_size_first/10000)
listing_ratio=$(calc %.2f "$wl / $wf2")
one_read_ratio=$(calc %.2f "$wl / $wf")
p0=$(median windows.csv list_profile/0)
p1=$(median windows.csv list_profile/1)
size_queries=$(calc %.0f "$wf2 - $wf")
row_overhead=$(calc %.0f "$p1 - $p0")
rest=$(calc %.0f "$wl - $wf - ($wf2 - $wf) - ($p1 - $p0)")
memory() {  # mode field
  awk -v m="$1" -v f="$2=" '$2 == m { for (i = 1; i <= NF; ++i)
    if (index($i, f) == 1) print substr($i, length(f) + 1) }' "$results/memory.txt"
}
memory_row() {  # mode description
  echo "| $2 | $(memory "$1" peak_working_set_mib) |" \
    "$(memory "$1" process_heap_committed_mib) ($(memory "$1" process_heap_busy_mib) in use," \
    "$(memory "$1" process_heap_free_mib) free) |" \
    "$(memory "$1" runtime_heap_committed_mib) ($(memory "$1" runtime_heap_busy_mib) in use," \
    "$(memory "$1" runtime_heap_free_mib) free) |"
}
removal_fit=$(awk -F, '
  $1 ~ /^"window_removal\/iterations:1_BigO"$/ { printf "%.1f microseconds x N", $3 / 1000 }
  $1 ~ /^"window_removal\/iterations:1_RMS"$/ { printf ", RMS %.0f %%", $3 * 100 }' \
  "$results/windows.csv")

per_size_rows() {  # file listing floor: one table row per size
  local size l f
  for size in 10 100 1000 10000; do
    l=$(median "$1" "$2/$size")
    f=$(median "$1" "$3/$size")
    echo "| $size | $l | $f | $(calc %.2f "$l / $f") |"
  done
}

{
  cat <<EOF
# Benchmarks

Made by \`scripts/bench.sh $repetitions\` on $(date -u -r "$results/windows.csv" '+%Y-%m-%d %H:%M UTC'). Every figure is the
median of $repetitions runs (Google Benchmark repetitions, or program starts after one
uncounted warm-up start). The machine is shared with other builds, so single figures are noisy.

| machine | |
|---|---|
| CPU | $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores |
| system | $(. /etc/os-release && echo "$PRETTY_NAME"), Linux $(uname -r) |
| Wine | $(wine --version | tr -d '\r'), 64-bit prefix, null display driver |
| compilers | $(x86_64-w64-mingw32-g++-posix -dumpfullversion) (MinGW-w64), $(g++ -dumpfullversion) (native); Release builds |

## Targets

| figure | target | measured | |
|---|---|---|---|
| 10,000 registrations shown in the list view, against the floor (the registry calls the listing makes, each value's size asked before it is read as the registry object does, plus bare inserts into a plain list with redraw held) | at most 1.3 × | ${listing_ratio} × (${wl} ms against ${wf2} ms); ${one_read_ratio} × against a floor that reads each value once (${wf} ms) | $(verdict "$listing_ratio <= 1.3") |
| start-up with 20 registrations, against a bare window with an empty report list view | at most 50 ms later | ${startup_gap} ms (${prog20} ms against ${bare20} ms) | $(verdict "$startup_gap <= 50") |
| removal of every 10th row, 100 to 10,000 rows: time per row at 10,000 against at 1,000 (at 100 the one repaint at the end outweighs 10 removals) | linear: at most 1.5 × | ${removal_growth} × (${r100} ms for 10 of 100, ${r1000} ms for 100 of 1,000, ${r10000} ms for 1,000 of 10,000) | $(verdict "$removal_growth <= 1.5") |
| peak working set of velloran.exe with 10,000 rows | under 32 MiB | ${peak} MiB (the bare window: ${bare_peak} MiB) | $(verdict "$peak < 32") |
| release executable | under 1 MiB | ${exe_kib} KiB: ${exe_source} | $(verdict "$exe_bytes < 1048576") |

Where the 10,000-row listing's time goes beyond the floor (a difference of medians, so the
rest carries the noise of all of them):

| share | ms |
|---|---|
| a floor that reads each value once: registry calls, bare inserts into a plain list, one repaint | ${wf} |
| the registry object asks each value's size before reading it: 20,000 more registry calls | ${size_queries} |
| the rows through \`ListViewRows\` into the main window's list, against bare inserts into a plain list | ${row_overhead} |
| the rest | ${rest} |
| the listing | ${wl} |

Start-up is the time from \`CreateProcess\` until the program's message loop first waits for
input (\`WaitForInputIdle\`), measured by \`bench/StartupProbe.cpp\` inside the prefix; the
peak working set is \`GetProcessMemoryInfo\`'s \`PeakWorkingSetSize\` at that moment, and
includes what Wine itself maps into every process.

## The listing, under Wine

Into the main window's list view (\`FormShow\`, its repaint included), against the floor, in ms:

| registrations | listing | floor | ratio |
|---|---|---|---|
$(per_size_rows windows.csv window_listing window_floor)

The floor reads each value once, into a buffer that is large enough. Asking each value's size
first, as the registry object does before it reads, makes it ${wf2} ms for 10,000
registrations: the listing takes ${listing_ratio} × that.

The same listing without its redraw guard, every new row repainting:
$(for size in 10 100 1000; do echo "$size rows $(median windows.csv window_listing_redraw_on/$size) ms;"; done | tr '\n' ' ')

Against the registry alone (rows kept in memory), in ms:

| registrations | listing | floor | ratio |
|---|---|---|---|
$(per_size_rows windows.csv registry_listing registry_floor)

Where the list's share goes, 10,000 made-up rows with redraw held and no registry, in ms: the
floor's bare inserts into a plain list (the caption with the insert, then two sub-item texts):
$(median windows.csv list_profile/0); the rows as the listing makes them through \`ListViewRows\`
into the main window's list, which keeps the texts itself and only tells the control how many
rows there are (append, then the caption and two sub-items): $(median windows.csv list_profile/1).

## The removal, under Wine

Every 10th row selected and removed from the list view, confirmed with Yes, the registration
tool's start recorded instead of made, in ms:

| rows | removed | time | per removed row |
|---|---|---|---|
$(for size in 100 1000 10000; do t=$(median windows.csv window_removal/$size/iterations:1); echo "| $size | $((size / 10)) | $t | $(calc %.3f "$t * 10 / $size") |"; done)

Google Benchmark's fit: ${removal_fit}.
Without the redraw guard: $(for size in 100 1000; do echo "$size rows $(median windows.csv window_removal_redraw_on/$size/iterations:1) ms;"; done | tr '\n' ' ')

## Start-up, under Wine

| program | registrations | start-up (ms) | peak working set (MiB) |
|---|---|---|---|
$(awk '{ for (i = 1; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = kv[2] }
  print "| " $2 " | " v["registrations"] " | " v["median_ms"] " | " v["peak_working_set_mib"] " |" }' \
    "$results/startup.txt")

## Memory, under Wine

Where a full list keeps its memory, 10,000 rows, each in a fresh process
(\`bench/ListMemory.cpp\`): a plain report list view filled with bare inserts of made-up rows,
and the main window listing 10,000 seeded registrations. The process heap is where the list
control keeps what it holds; the C runtime's heap is where the program keeps its own. Heap
figures are committed MiB, from walking each heap after the fill.

| list | peak working set (MiB) | process heap | C runtime heap |
|---|---|---|---|
$(memory_row plain "plain list, the control keeping the texts")
$(memory_row window "velloran's main window, the texts kept by the program")

## Native, on the stand-in registry

The portable core against the in-memory stand-in (a test double: its enumeration walks its
map from the start on every call, so both columns grow faster than linearly), in ms:

| registrations | listing | floor | ratio |
|---|---|---|---|
$(per_size_rows native.csv registry_listing registry_floor)

Removal of every 10th row from an in-memory list: $(for size in 100 1000 10000; do echo "$size rows $(median native.csv registry_removal/$size) ms;"; done | tr '\n' ' ')
EOF
} >"$report"
echo "== wrote $report"
cat "$report"
