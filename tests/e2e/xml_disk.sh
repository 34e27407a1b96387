#!/usr/bin/env bash
# The XML files and the disk, watched and disturbed with strace.
# A disk that fails in the middle of a file (the second read(2) of one file fails with EIO): the XML
# loader must report it instead of taking the part read so far for the whole file:
#  - xmlini set on a settings file of 3000 keys (longer than one read): exit 1, the file as it was;
#  - the dialog with a language file that fails: English texts, not a translation of part of the file;
#  - the dialog with a Desktop.xml that fails: the error is shown, the dialog still asks in English.
# The save: a temporary file of a new name (O_EXCL), made with the target's mode, flushed to the disk,
# renamed over the target, and the folder flushed after the rename.
set -u
[ "${UF_TARGET:-}" = linux ] || exit 77
command -v strace >/dev/null || { echo "strace is not installed"; exit 1; }
# The sanitizer build's leak check cannot run under ptrace.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
xmlini="$UF_BUILD/bin/xmlini" program="$UF_BUILD/bin/uninstall-feedback"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# failing FILE COMMAND...: runs the command with the second read of FILE failing.
failing() {
  local file=$1
  shift
  strace -f -qq -o /dev/null -P "$file" -e trace=read -e inject=read:error=EIO:when=2 "$@"
}

# --- xmlini: nothing of a file cut short is saved
{
  printf '<?xml version="1.0"?>\r\n<!-- created by Velmora XML package -->\r\n  <Keys>\r\n'
  for i in $(seq 3000); do printf '    <Key%04d Value="value number %d" />\r\n' "$i" "$i"; done
  printf '  </Keys>\r\n'
} >"$work/settings.xml"
cp "$work/settings.xml" "$work/settings.before"
failing "$work/settings.xml" "$xmlini" set "$work/settings.xml" Keys\\Key0001 Value changed 2>"$work/err"
status=$?
[ $status -eq 1 ] || fail "xmlini set over a failing read exited $status"
grep -q 'Cannot read file' "$work/err" || fail "no read error reported: $(cat "$work/err")"
cmp -s "$work/settings.xml" "$work/settings.before" || fail "the settings file changed: $(grep -c '<Key[0-9]' "$work/settings.xml") keys left"

# --- the save's system calls
chmod 600 "$work/settings.xml"
strace -qq -o "$work/calls" -e trace=openat,fsync,rename,renameat,renameat2 \
  "$xmlini" set "$work/settings.xml" Keys\\Key0002 Value changed || fail "xmlini set under strace failed"
created=$(grep -E '\.tmp", [^)]*O_CREAT' "$work/calls")
[[ "$created" == *O_EXCL* ]] || fail "the temporary file may be an old one: $created"
[[ "$created" == *', 0600)'* ]] || fail "the temporary file was not made with the target's mode: $created"
order=$(grep -oE '^(fsync|rename)' "$work/calls" | tr '\n' ' ')
[ "$order" = "fsync rename fsync " ] || fail "not flushed, renamed, folder flushed: $order"
[ "$(stat -c %a "$work/settings.xml")" = 600 ] || fail "the mode was not kept: $(stat -c %a "$work/settings.xml")"
[ "$(grep -c '<Key[0-9]' "$work/settings.xml")" -eq 3000 ] || fail "keys lost without a fault"

# --- the dialog: a product profile in German
mkdir -p "$work/home" "$work/bin" "$work/Data" "$work/XML/Lang/German"
printf '#!/bin/sh\necho "$@" >> "%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Quarnel\\Velmora3]\n"DataPath"="%s"\n"XMLPath"="%s"\n' \
  "$work/Data" "$work/XML/" >"$work/registry.reg"
"$xmlini" set "$work/Data/Desktop.xml" 'Options\Advanced' Language German
# The translation first, then a long comment: a read that fails after the first block only matters when
# the whole file counts.
{ cat "$UF_SOURCE/lang/German/Uninstall.xml"; printf '<!-- %070000d -->\r\n' 0; } >"$work/XML/Lang/German/Uninstall.xml"
# dialog [FILE]: the terminal dialog answered with reason 1, output in $work/out; with FILE, its second
# read fails.
dialog() {
  local run=()
  [ $# -gt 0 ] && run=(failing "$1")
  printf '1\n\n' | "${run[@]}" env -i HOME="$work/home" PATH="$work/bin:/usr/bin:/bin" LANG=C.UTF-8 \
    LC_ALL=C.UTF-8 ASAN_OPTIONS="$ASAN_OPTIONS" UNINSTALL_REGISTRY="$work/registry.reg" \
    UNINSTALL_STAT_HOST=127.0.0.1:9 timeout 60 "$program" My_Product >"$work/out" 2>&1
}
english="Why have you made up your mind to remove My Product?"

dialog || fail "the German dialog ended with $?"
grep -q 'Frage:' "$work/out" || fail "the German dialog is not German: $(cat "$work/out")"

dialog "$work/XML/Lang/German/Uninstall.xml" || fail "the dialog ended with $?"
grep -qF "$english" "$work/out" || fail "a failing language file did not give English: $(cat "$work/out")"

{ cat "$work/Data/Desktop.xml"; printf '<!-- %070000d -->\r\n' 0; } >"$work/Data/padded.xml"
mv "$work/Data/padded.xml" "$work/Data/Desktop.xml"
dialog "$work/Data/Desktop.xml" || fail "the dialog ended with $?"
grep -q 'Cannot read file' "$work/out" || fail "a failing Desktop.xml was not reported: $(cat "$work/out")"
grep -qF "$english" "$work/out" || fail "a failing Desktop.xml did not give English: $(cat "$work/out")"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "XML files and the disk: all checks passed"
