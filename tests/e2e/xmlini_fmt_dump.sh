#!/usr/bin/env bash
# xmlini fmt and dump on real files: the writer's bytes, the tree as JSON, missing and unreadable files,
# and no trace unless UNINSTALL_XML_LOG asks for one.
set -u
fail=0
check() {  # check NAME EXPECTED-FILE ACTUAL-FILE
  if ! cmp -s "$2" "$3"; then
    echo "FAIL: $1"; echo "--- expected"; od -c "$2" | head -20; echo "--- actual"; od -c "$3" | head -20; fail=1
  fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
if [ "$UF_TARGET" = windows ]; then
  tool() { WINEPREFIX="$UF_BUILD/wineprefix" "$UF_WINE" "$UF_BUILD/bin/xmlini.exe" "$@"; }
else
  tool() { "$UF_BUILD/bin/xmlini" "$@"; }
fi
export HOME="$work/home" XDG_STATE_HOME="$work/state"
unset UNINSTALL_XML_LOG

printf '<?xml version="1.0" encoding="windows-1251"?>\n<!DOCTYPE s>\n<Options Count="2">\n <Advanced Language="Russian" Note="a &lt; b &amp; &quot;c&quot;"/>\n <!-- note -->\n <Caption>  Caf\351 &amp; more  </Caption><br/>\n</Options>\n' > in.xml
printf '<?xml version="1.0"?>\r\n<!-- created by Velmora XML package -->\r\n  <Options Count="2" >\r\n    <Advanced Language="Russian" Note="a &lt; b &amp; &quot;c&quot;" />\r\n<!-- note -->\r\n    <Caption>Caf\351 &amp; more</Caption>\r\n    <br />\r\n  </Options>\r\n' > want.xml
tool fmt in.xml > got.xml; status=$?
[ $status -eq 0 ] || { echo "FAIL: fmt exit status $status"; fail=1; }
check "fmt bytes" want.xml got.xml
tool fmt got.xml > again.xml
check "fmt of fmt output" got.xml again.xml

printf '{"name":"Root","value":"","comment":false,"attributes":[],"children":[{"name":"Options","value":"","comment":false,"attributes":["Count=2"],"children":[{"name":"Advanced","value":"","comment":false,"attributes":["Language=Russian","Note=a < b & \\"c\\""],"children":[]},{"name":"","value":" note ","comment":true,"attributes":[],"children":[]},{"name":"Caption","value":"Caf\303\251 & more","comment":false,"attributes":[],"children":[]},{"name":"br","value":"","comment":false,"attributes":[],"children":[]}]}]}\n' > want.json
tool dump in.xml > got.json || { echo "FAIL: dump exit status"; fail=1; }
check "dump JSON" want.json got.json

# A missing file is the empty tree.
printf '<?xml version="1.0"?>\r\n<!-- created by Velmora XML package -->\r\n' > want-empty.xml
tool fmt missing.xml > got-empty.xml || { echo "FAIL: fmt of a missing file failed"; fail=1; }
check "fmt of a missing file" want-empty.xml got-empty.xml
printf '{"name":"Root","value":"","comment":false,"attributes":[],"children":[]}\n' > want-empty.json
tool dump missing.xml > got-empty.json
check "dump of a missing file" want-empty.json got-empty.json

# A file that cannot be opened: a message on standard error, status 1, nothing on standard output.
mkdir folder.xml
tool fmt folder.xml > out.txt 2> err.txt; status=$?
[ $status -eq 1 ] || { echo "FAIL: unopenable file gave status $status"; fail=1; }
[ -s err.txt ] || { echo "FAIL: no message for an unopenable file"; fail=1; }
[ -s out.txt ] && { echo "FAIL: output for an unopenable file"; fail=1; }
tool fmt > /dev/null 2>&1; status=$?
[ $status -eq 2 ] || { echo "FAIL: missing argument gave status $status"; fail=1; }

# The trace: nowhere by default (on Linux the default place is checked), in the named file on request.
if [ "$UF_TARGET" = linux ] && [ -e "$XDG_STATE_HOME/XML_Log.txt" ]; then echo "FAIL: trace written by default"; fail=1; fi
UNINSTALL_XML_LOG=trace.txt tool fmt in.xml > /dev/null
printf 'Root\r\nRoot\r\nOptions\r\nAdvanced\r\n\r\nCaption\r\nbr\r\n' > want-trace.txt
check "trace on request" want-trace.txt trace.txt

[ $fail -eq 0 ] && echo "xmlini fmt/dump: all checks passed"
exit $fail
