#!/usr/bin/env bash
# The HTTP client through real peers on loopback: a plain HTTP server (python3 http.server), SOCKS 5 through
# microsocks with and without user/password, an HTTP proxy and its CONNECT tunnel through tinyproxy (with
# and without Basic authentication), and on Linux HTTPS through the tunnel to a TLS server.
set -u -o pipefail
: "${UF_TARGET:?}" "${UF_BUILD:?}"
for tool in microsocks tinyproxy python3; do
  command -v "$tool" >/dev/null || { echo "skip: $tool missing"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() {
  for _ in $(seq 100); do
    python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$1),0.2)" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "peer on port $1 did not start"; return 1
}

if [ "$UF_TARGET" = windows ]; then
  httpget() { (cd "$UF_BUILD" && "$UF_WINE" "$UF_BUILD/bin/httpget.exe" "$@") | tr -d '\r'; }
else
  httpget() { "$UF_BUILD/bin/httpget" "$@"; }
fi

failures=0
# check NAME EXPECTED ARGS...: httpget ARGS prints EXPECTED; EXPECTED "!" means httpget must fail.
check() {
  local name=$1 expected=$2 output status
  shift 2
  output=$(httpget --timeout 5000 "$@" 2>&1); status=$?
  if [ "$expected" = "!" ]; then
    [ $status -ne 0 ] && echo "ok: $name" && return
    echo "FAIL: $name: succeeded"
  else
    grep -qF -- "$expected" <<<"$output" && echo "ok: $name" && return
    echo "FAIL: $name: expected '$expected' in:"; echo "$output" | head -20
  fi
  failures=$((failures + 1))
}
hello="hello through the wire"

# The origin server.
mkdir -p "$work/www"
echo "hello through the wire" >"$work/www/greeting.txt"
web=$(free_port)
python3 -m http.server "$web" --bind 127.0.0.1 --directory "$work/www" >"$work/web.log" 2>&1 &
pids+=($!)
wait_port "$web" || exit 1
url="http://127.0.0.1:$web/greeting.txt"

# Whether a peer on loopback can be reached at all from this target.
if [ "$UF_TARGET" = windows ] && ! httpget --timeout 5000 "$url" >/dev/null 2>&1; then
  echo "skip: loopback not reachable from Wine"; exit 77
fi
check "direct" "$hello" "$url"
check "direct status" "status: 200 OK" "$url"
check "FetchText" "$hello" --fetch "$url"

# SOCKS 5 without and with user/password (RFC 1929).
socks=$(free_port)
microsocks -i 127.0.0.1 -p "$socks" >"$work/socks.log" 2>&1 &
pids+=($!)
socks_auth=$(free_port)
microsocks -i 127.0.0.1 -p "$socks_auth" -u alice -P 'pa ss' >"$work/socks_auth.log" 2>&1 &
pids+=($!)
wait_port "$socks" && wait_port "$socks_auth" || exit 1
check "socks5" "$hello" --socks "127.0.0.1:$socks" "$url"
check "socks5 by name" "$hello" --socks "127.0.0.1:$socks" "http://localhost:$web/greeting.txt"
check "socks5 user/password" "$hello" --socks "127.0.0.1:$socks_auth" --socks-user alice --socks-password 'pa ss' "$url"
check "socks5 wrong password" ! --socks "127.0.0.1:$socks_auth" --socks-user alice --socks-password wrong "$url"
check "socks5 without user where one is required" ! --socks "127.0.0.1:$socks_auth" "$url"

# tinyproxy, open and with Basic authentication; no ConnectPort lines, so CONNECT reaches any port.
proxy_config() {  # port, extra lines
  cat <<CONF
Port $1
Listen 127.0.0.1
Timeout 30
MaxClients 10
Allow 127.0.0.1
LogLevel Error
LogFile "$work/tinyproxy-$1.log"
PidFile "$work/tinyproxy-$1.pid"
DisableViaHeader Yes
$2
CONF
  if [ "$(id -u)" = 0 ]; then printf 'User root\nGroup root\n'; fi
}
proxy=$(free_port)
proxy_config "$proxy" "" >"$work/tinyproxy.conf"
tinyproxy -d -c "$work/tinyproxy.conf" >"$work/tinyproxy.out" 2>&1 &
pids+=($!)
proxy_auth=$(free_port)
proxy_config "$proxy_auth" "BasicAuth bob secret" >"$work/tinyproxy-auth.conf"
tinyproxy -d -c "$work/tinyproxy-auth.conf" >"$work/tinyproxy-auth.out" 2>&1 &
pids+=($!)
wait_port "$proxy" && wait_port "$proxy_auth" || { cat "$work"/tinyproxy*.out; exit 1; }
check "http proxy" "$hello" --proxy "127.0.0.1:$proxy" "$url"
check "http proxy with Basic" "$hello" --proxy "127.0.0.1:$proxy_auth" --proxy-user bob --proxy-password secret "$url"
check "http proxy refuses without credentials" "status: 407" --proxy "127.0.0.1:$proxy_auth" "$url"
check "CONNECT tunnel" "$hello" --tunnel "127.0.0.1:$proxy" "$url"
check "CONNECT tunnel with Basic" "$hello" --tunnel "127.0.0.1:$proxy_auth" --proxy-user bob --proxy-password secret "$url"
check "CONNECT tunnel refused" ! --tunnel "127.0.0.1:$proxy_auth" "$url"

# HTTPS: the tunnel carries TLS to a TLS server, where the target has a TLS library to load.
if [ "$UF_TARGET" = linux ] && command -v openssl >/dev/null; then
  openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -days 1 \
    -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
  tls=$(free_port)
  python3 - "$tls" "$work" >"$work/tls.log" 2>&1 <<'PY' &
import http.server, ssl, sys, functools
port, work = int(sys.argv[1]), sys.argv[2]
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=work + "/www")
server = http.server.HTTPServer(("127.0.0.1", port), handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(work + "/cert.pem", work + "/key.pem")
server.socket = context.wrap_socket(server.socket, server_side=True)
server.serve_forever()
PY
  pids+=($!)
  wait_port "$tls" || exit 1
  check "https direct" "$hello" --ca "$work/cert.pem" "https://127.0.0.1:$tls/greeting.txt"
  check "https refuses a server the system does not trust" "failed: 10091" "https://127.0.0.1:$tls/greeting.txt"
  check "https through the CONNECT tunnel" "$hello" --ca "$work/cert.pem" --proxy "127.0.0.1:$proxy" \
    "https://127.0.0.1:$tls/greeting.txt"
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"
