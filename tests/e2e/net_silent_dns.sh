#!/usr/bin/env bash
# Name resolution with name servers that never answer ends within FetchText's time limit. Each run gets a
# private network namespace whose loopback carries silent name servers (UDP sockets that read and never
# reply) and a private mount namespace whose /etc/resolv.conf names them; the system resolver alone would
# retry for 10 s with one such server and 28 s with three.
set -u -o pipefail
: "${UF_TARGET:?}" "${UF_BUILD:?}"
command -v python3 >/dev/null || { echo "skip: python3 missing"; exit 77; }
namespace=(unshare --mount --net)
[ "$(id -u)" = 0 ] || namespace=(unshare --user --map-root-user --mount --net)
"${namespace[@]}" true 2>/dev/null || { echo "skip: no private namespaces here"; exit 77; }

limit_ms=3000
# Process start (Wine's especially) comes on top of the limit.
slack_ms=1500
[ "$UF_TARGET" = windows ] && slack_ms=4000

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$UF_TARGET" = windows ]; then
  # The prefix is made outside the namespace, so that its first start is not timed.
  (cd "$UF_BUILD" && "$UF_WINE" "$UF_BUILD/bin/httpget.exe" --help >/dev/null 2>&1)
  fetch="cd '$UF_BUILD' && '$UF_WINE' '$UF_BUILD/bin/httpget.exe'"
else
  fetch="'$UF_BUILD/bin/httpget'"
fi

# Prints the milliseconds that one FetchText of a name under `servers` silent name servers takes.
silent_fetch_ms() {
  local servers=$1
  "${namespace[@]}" bash -s <<SCRIPT
set -e
ip link set lo up
: >"$work/resolv.conf"
for i in \$(seq 2 \$((1 + $servers))); do
  python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((sys.argv[1], 53))
time.sleep(120)' "127.0.0.\$i" &
  echo "nameserver 127.0.0.\$i" >>"$work/resolv.conf"
done
mount --bind "$work/resolv.conf" /etc/resolv.conf
for _ in \$(seq 100); do [ "\$(ss -Huln | grep -c ':53 ')" -ge $servers ] && break; sleep 0.05; done
start=\$(date +%s%N)
$fetch --fetch --timeout $limit_ms http://stat.name.invalid/stat/uninstall.php >/dev/null 2>&1 || true
echo \$(( (\$(date +%s%N) - start) / 1000000 ))
kill \$(jobs -p) 2>/dev/null
SCRIPT
}

failures=0
for servers in 1 3; do
  ms=$(silent_fetch_ms "$servers")
  if [ -n "$ms" ] && [ "$ms" -le $((limit_ms + slack_ms)) ]; then
    echo "ok: FetchText(url, $limit_ms) with $servers silent name server(s) returned after $ms ms"
  else
    echo "FAIL: FetchText(url, $limit_ms) with $servers silent name server(s) took ${ms:-?} ms"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] || exit 1
echo "all passed"
