#!/usr/bin/env bash
# The xmlini tool's store commands on real files: get, set, delete, keys and values, their output, exit
# codes and messages, the bytes of the saved file, and the node trace rule.
set -u
if [ "$UF_TARGET" = windows ]; then
  tool=("$UF_WINE" "$UF_BUILD/bin/xmlini.exe")
  [ -f "$UF_BUILD/bin/xmlini.exe" ] || { echo "xmlini.exe was not built"; exit 1; }
else
  tool=("$UF_BUILD/bin/xmlini")
  [ -x "$UF_BUILD/bin/xmlini" ] || { echo "xmlini was not built"; exit 1; }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export HOME="$work/home" XDG_STATE_HOME="$work/state"
mkdir -p "$HOME" "$XDG_STATE_HOME"
unset UNINSTALL_XML_LOG

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run ARGS...: sets out, err and status.
run() {
  out=$("${tool[@]}" "$@" 2>"$work/stderr"; echo "#$?")
  status=${out##*#}
  out=${out%#*}
  err=$(cat "$work/stderr")
}

# expect STATUS STDOUT ARGS...
expect() {
  local want_status=$1 want_out=$2
  shift 2
  run "$@"
  [ "$status" = "$want_status" ] || fail "xmlini $* exited $status, expected $want_status (stderr: $err)"
  [ "$out" = "$want_out" ] || fail "xmlini $* printed $(printf %q "$out"), expected $(printf %q "$want_out")"
}

# --- a missing file has no keys
expect 2 "" get Desktop.xml 'Options\Advanced' Language
[[ "$err" == *'key "Options\Advanced" does not exist'* ]] || fail "missing key message: $err"
[ ! -e Desktop.xml ] || fail "get created the file"

# --- set creates the key and the file, in the writer's layout
expect 0 "" set Desktop.xml 'Options\Advanced' Language Russian
printf '<?xml version="1.0"?>\r\n<!-- created by Velmora XML package -->\r\n  <Options>\r\n    <Advanced Language="Russian" />\r\n  </Options>\r\n' >expected.xml
cmp -s Desktop.xml expected.xml || fail "saved file differs: $(od -c Desktop.xml | head -20)"

expect 0 $'Russian\n' get Desktop.xml 'Options\Advanced' Language
# Nothing on standard error: no interface object is left for the exit report.
[ -z "$err" ] || fail "get wrote to standard error: $err"
expect 0 $'Russian\n' get Desktop.xml 'options\ADVANCED' LANGUAGE
expect 0 $'\n' get Desktop.xml 'Options\Advanced' Missing

# --- more values and keys
expect 0 "" set Desktop.xml 'Options\Advanced' Theme 'Dark & "bold"'
expect 0 "" set Desktop.xml 'Options\Window' Left 10
expect 0 "" set Desktop.xml Tools Count 2
expect 0 $'Options\nTools\n' keys Desktop.xml
expect 0 $'Advanced\nWindow\n' keys Desktop.xml Options
expect 0 "" keys Desktop.xml Tools
expect 2 "" keys Desktop.xml Nowhere
expect 0 $'Language=Russian\nTheme=Dark & "bold"\n' values Desktop.xml 'Options\Advanced'
[ -z "$err" ] || fail "values wrote to standard error: $err"
grep -q 'Theme="Dark &amp; &quot;bold&quot;"' Desktop.xml || fail "value not escaped in the file"
expect 2 "" values Desktop.xml 'Options\Nowhere'

# --- an empty value deletes it; delete removes values and keys
expect 0 "" set Desktop.xml 'Options\Advanced' Theme ''
expect 0 $'Language=Russian\n' values Desktop.xml 'Options\Advanced'
expect 0 "" delete Desktop.xml 'Options\Advanced' Language
expect 0 "" values Desktop.xml 'Options\Advanced'
expect 0 "" delete Desktop.xml 'Options\Window'
expect 0 $'Advanced\n' keys Desktop.xml Options
expect 2 "" delete Desktop.xml 'Options\Window'
[[ "$err" == *'does not exist'* ]] || fail "delete of a missing key: $err"
expect 0 "" delete Desktop.xml Options
expect 0 $'Tools\n' keys Desktop.xml

# --- values as a hand-written file holds them
printf '<Settings a="1" b="x &amp; y"><Sub/><!-- note --></Settings>' >hand.xml
expect 0 $'a=1\nb=x & y\n' values hand.xml Settings
expect 0 $'Sub\n' keys hand.xml Settings
cp hand.xml hand.before
expect 0 $'1\n' get hand.xml Settings A
cmp -s hand.xml hand.before || fail "reading changed the file"

# --- errors of the store arrive with their message
expect 1 "" set Desktop.xml '' Name value
[[ "$err" == *'Open key before writing'* ]] || fail "store error message: $err"
expect 1 "" get Desktop.xml '' Name
[[ "$err" == *'Open key before writing'* ]] || fail "store error message on reading: $err"
mkdir folder.xml
expect 1 "" get folder.xml K N
[ -n "$err" ] || fail "no message for an unreadable file"
printf x >blocker
expect 1 "" set blocker/inner.xml K N V
[ -n "$err" ] || fail "no message for a file below a plain file"
[ "$(cat blocker)" = x ] || fail "the blocking file changed"
# A folder nobody can create files in, not even root: neither its lock nor the file can be made.
expect 1 "" set /proc/uf-xmlini-store.xml K N V
[[ "$err" == *'/proc/uf-xmlini-store.xml'* ]] || fail "unwritable file message: $err"

# --- folders are made for a new file
expect 0 "" set deep/er/store.xml K N V
[ -f deep/er/store.xml ] || fail "nested folders were not made"

# --- two writers at once: each holds the file's lock from its load to its save, so no value is lost
expect 0 "" set both.xml K V0 0
writer() { for i in $(seq 40); do "${tool[@]}" set both.xml K "$1$i" "$i" || echo "set $1$i failed"; done; }
writer A >writer-a.log 2>&1 &
writer B >writer-b.log 2>&1
wait
[ ! -s writer-a.log ] && [ ! -s writer-b.log ] || fail "a writer failed: $(cat writer-a.log writer-b.log)"
run values both.xml K
kept=$(grep -c = <<<"$out")
[ "$kept" -eq 81 ] || fail "two writers kept $kept of 81 values"

# --- wrong arguments
expect 2 "" get Desktop.xml Tools
expect 2 "" set Desktop.xml Tools Count
expect 2 "" values Desktop.xml
[[ "$err" == *usage* ]] || fail "no usage text: $err"

# --- the trace rule: nothing without UNINSTALL_XML_LOG, one line per released element with it
[ -z "$(find "$work" -name 'XML_Log.txt')" ] || fail "a trace file was written without UNINSTALL_XML_LOG"
UNINSTALL_XML_LOG="$work/trace.log" expect 0 $'2\n' get Desktop.xml Tools Count
[ -s trace.log ] || fail "no trace with UNINSTALL_XML_LOG"
grep -q '^Tools' trace.log || fail "trace lacks the released element: $(cat trace.log)"

# --- text beyond ASCII: the terminal's UTF-8 on Linux, the code page's bytes in the file
if [ "$UF_TARGET" = linux ]; then
  LC_ALL=en_US.UTF-8 expect 0 "" set text.xml K Size 'Größe'
  LC_ALL=en_US.UTF-8 expect 0 $'Größe\n' get text.xml K Size
  grep -q $'Size="Gr\xf6\xdfe"' text.xml || fail "the file does not hold code-page bytes: $(od -c text.xml | tail -4)"
  # File names are the system's own (UTF-8), and "\" separates folders as on Windows.
  LC_ALL=ru_RU.UTF-8 expect 0 "" set 'Ördner\Dätei.xml' K N 'Привет'
  [ -f 'Ördner/Dätei.xml' ] || fail "the non-ASCII file name was not kept: $(ls)"
  LC_ALL=ru_RU.UTF-8 expect 0 $'Привет\n' get 'Ördner/Dätei.xml' K N
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "xmlini store commands: all checks passed"
