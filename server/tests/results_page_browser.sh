#!/usr/bin/env bash
# The results page in a headless Chromium over sample reports: the page's text read through the DOM
# (each reason with its count and share, the total, what users wrote, escaped) and a screenshot saved to
# $UF_BUILD/screenshots/results-page.png.
set -uo pipefail
build=${UF_BUILD:?} source=${UF_SOURCE:?}
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

browser=$(command -v chromium || command -v chromium-browser) || { echo "skipped: chromium is not installed"; exit 77; }
tmp=$(mktemp -d "${TMPDIR:-/tmp}/uf-results-page.XXXXXX") server_pid=
trap '[ -n "$server_pid" ] && kill $server_pid 2>/dev/null && wait $server_pid 2>/dev/null; rm -rf "$tmp"' EXIT

php "$source/server/tests/support/seed.php" "$tmp/stats" >"$tmp/expected" || { echo "FAILED: no sample data"; exit 1; }
port=$(php -r '$s = stream_socket_server("tcp://127.0.0.1:0"); echo substr(strrchr(stream_socket_get_name($s, false), ":"), 1);')
unset "${!UNINSTALL_STATS_@}"
UNINSTALL_STATS_DATA=$tmp/stats php -S "127.0.0.1:$port" -t "$source/server" "$source/server/router.php" >"$tmp/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/stat/style.css" && break; sleep 0.1; done

chrome() {
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$tmp/profile" "$@" "http://127.0.0.1:$port/stat/" 2>>"$tmp/chromium.log"
}
chrome --dump-dom >"$tmp/dom.html" || fail "chromium could not load the page"

texts() {  # the text of each element the XPath selects, one a line
  php -r '
    $d = new DOMDocument(); libxml_use_internal_errors(true); $d->loadHTML("<?xml encoding=\"utf-8\"?>" . file_get_contents($argv[1]));
    foreach ((new DOMXPath($d))->query($argv[2]) as $n) { echo trim($n->textContent), "\n"; }' "$tmp/dom.html" "$1"
}
reasons=$(texts '//section[@id="reasons"]//*[local-name()="text"]' | paste - -)  # per bar its label and value
while IFS=$'\t' read -r name count share; do
  grep -qxF "$name"$'\t'"$count ($share)" <<<"$reasons" || fail "reason '$name': expected $count ($share); the chart says: $reasons"
done <"$tmp/expected"
[ "$(texts '//p[@id="total"]')" = "41 reports" ] || fail "total: $(texts '//p[@id="total"]')"
written=$(texts '//section[@id="free-texts"]//td[4]')
grep -qxF '<script>alert(1)</script>' <<<"$written" || fail "the hostile free text is not shown as text: $written"
grep -qxF 'слишком сложно' <<<"$written" || fail "the Russian free text is missing: $written"
[ -z "$(texts '//script | //b | //img')" ] && ! grep -q '<script' "$tmp/dom.html" || fail "report text became markup"
[ "$(texts '//section[@id="days"]//*[local-name()="rect"]' | wc -l)" = 7 ] || fail "the days chart lacks columns"
[ "$(texts '//section[@id="weeks"]//*[local-name()="rect"]' | wc -l)" -ge 8 ] || fail "the weeks chart lacks weeks"

shot=$build/screenshots/results-page.png
mkdir -p "$build/screenshots" && rm -f "$shot"
chrome --hide-scrollbars --window-size=1400,1900 --screenshot="$shot" >/dev/null
[ -s "$shot" ] && echo "screenshot: $shot" || fail "no screenshot"

[ "$failures" -eq 0 ] || { cat "$tmp/server.log" "$tmp/chromium.log"; exit 1; }
echo "results page: all checks passed"
