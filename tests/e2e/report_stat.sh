#!/usr/bin/env bash
# End to end: closing the dialog sends the report to the project's statistics script, served by nginx and
# PHP-FPM on loopback; when the script does not confirm, or nobody listens, the mail link goes to the
# desktop's opener (a fake xdg-open / xdg-email first on PATH that records what it is given).
# Linux: the console dialog with its answers piped in. Windows: the real dialog under Wine on an X server,
# driven with xdotool; ShellExecuteA hands the mailto: link to the host through winebrowser.
set -uo pipefail
target=${UF_TARGET:?} build=${UF_BUILD:?} source=${UF_SOURCE:?}

skip() { echo "skipped: $*"; exit 77; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

fpm=$(command -v php-fpm || ls /usr/sbin/php-fpm* 2>/dev/null | head -1)
[ -n "$fpm" ] && [ -x "$fpm" ] || skip "php-fpm is not installed"
command -v nginx >/dev/null || skip "nginx is not installed"
command -v php >/dev/null || skip "php is not installed"
if [ "$target" = windows ]; then
  prog=$build/bin/UninstallFeedback.exe
  for tool in wine xdotool; do command -v $tool >/dev/null || skip "$tool is not installed"; done
  [ -n "${DISPLAY:-}" ] || command -v Xvfb >/dev/null || skip "no DISPLAY and no Xvfb"
else
  prog=$build/bin/uninstall-feedback
fi
[ -f "$prog" ] || skip "$prog is not built"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/uf-report-e2e.XXXXXX")
nginx_pid= fpm_pid= xvfb_pid=
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  [ -n "$fpm_pid" ] && kill "$fpm_pid" 2>/dev/null && wait "$fpm_pid" 2>/dev/null
  if [ "$target" = windows ] && [ -d "$tmp/prefix" ]; then WINEPREFIX=$tmp/prefix wineserver -k 2>/dev/null; fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# ---- The statistics server: nginx in front of PHP-FPM, both private to this run ----------------------

listening() { ss -Hltn "sport = :$1" | grep -q .; }

start_stat_server() {
  local as_root=
  [ "$(id -u)" = 0 ] && as_root=1
  cat >"$tmp/php-fpm.conf" <<CONF
[global]
pid = $tmp/php-fpm.pid
error_log = $tmp/php-fpm.log
daemonize = no
[stat]
${as_root:+user = root}
${as_root:+group = root}
listen = $tmp/php-fpm.sock
pm = static
pm.max_children = 2
catch_workers_output = yes
CONF
  "$fpm" -n -y "$tmp/php-fpm.conf" -p "$tmp" ${as_root:+-R} -F >>"$tmp/php-fpm.log" 2>&1 &
  fpm_pid=$!
  mkdir -p "$tmp/nginx"
  local attempt
  for attempt in $(seq 20); do
    port=$((20000 + RANDOM % 40000))
    listening "$port" && continue
    cat >"$tmp/nginx.conf" <<CONF
${as_root:+user root;}
worker_processes 1;
daemon off;
pid $tmp/nginx.pid;
error_log $tmp/nginx-error.log;
events { worker_connections 64; }
http {
  access_log $tmp/nginx-access.log;
  client_body_temp_path $tmp/nginx/body;
  fastcgi_temp_path $tmp/nginx/fastcgi;
  proxy_temp_path $tmp/nginx/proxy;
  uwsgi_temp_path $tmp/nginx/uwsgi;
  scgi_temp_path $tmp/nginx/scgi;
  server {
    listen 127.0.0.1:$port;
    root $source/tests/e2e/www;
    location = /stat/uninstall.php {
      include /etc/nginx/fastcgi_params;
      fastcgi_param SCRIPT_FILENAME \$document_root\$fastcgi_script_name;
      fastcgi_param STAT_DIR $tmp;
      fastcgi_pass unix:$tmp/php-fpm.sock;
    }
    location / { return 404; }
  }
}
CONF
    nginx -p "$tmp/nginx" -e "$tmp/nginx-error.log" -c "$tmp/nginx.conf" &
    nginx_pid=$!
    for _ in $(seq 50); do
      listening "$port" && break
      kill -0 "$nginx_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -0 "$nginx_pid" 2>/dev/null && listening "$port" && break
    wait "$nginx_pid" 2>/dev/null
    nginx_pid=
  done
  [ -n "$nginx_pid" ] || { cat "$tmp/nginx-error.log"; return 1; }
  for _ in $(seq 100); do
    [ -S "$tmp/php-fpm.sock" ] && return 0
    sleep 0.1
  done
  cat "$tmp/php-fpm.log"
  return 1
}

start_stat_server || { echo "FAILED: the statistics server did not start"; exit 1; }
probe=$(curl -s --max-time 10 "http://127.0.0.1:$port/stat/uninstall.php?probe=1")
[ "$probe" = $'OK\r' ] || { echo "FAILED: the statistics script answers '$probe'"; cat "$tmp"/*.log; exit 1; }
: >"$tmp/queries.log"

# A loopback port nobody listens on.
closed_port=$port
while listening "$closed_port"; do closed_port=$((20000 + RANDOM % 40000)); done

# ---- What the desktop would open: fakes that record their argument ---------------------------------

mkdir -p "$tmp/fakebin"
for opener in xdg-open xdg-email; do
  cat >"$tmp/fakebin/$opener" <<SCRIPT
#!/bin/sh
printf '%s %s\n' "$opener" "\$*" >>"$tmp/opened.log"
SCRIPT
  chmod +x "$tmp/fakebin/$opener"
done
: >"$tmp/opened.log"

# ---- The run's environment: English, a private home, registry and trace file -------------------------

mkdir -p "$tmp/home"
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_STATE_HOME=$tmp/home/.local/state
export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
unset LANGUAGE LC_MESSAGES
export UNINSTALL_XML_LOG=$tmp/XML_Log.txt
export PATH=$tmp/fakebin:$PATH

# "StartDate" two days ago at midnight: 3 days in use. The day count is from 30 December 1899.
today=$(( $(date -u -d "$(date +%F)" +%s) / 86400 + 25569 ))
start_hex=$(php -r "echo bin2hex(pack('e', $((today - 2))));")
expected_days=3
mailbox=$(sed -n 's/^UNINSTALL_FEEDBACK_MAILBOX:STRING=//p' "$build/CMakeCache.txt")
[ -n "$mailbox" ] || mailbox=feedback@velmora.example

# ---- Driving the dialog on each target -----------------------------------------------------------------

if [ "$target" = linux ]; then
  export UNINSTALL_REGISTRY=$tmp/registry.reg
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Quarnel\\Velmora3]\r\n'
    printf '"StartDate"=hex:%s\r\n' "$(sed 's/../&,/g; s/,$//' <<<"$start_hex")"
  } >"$UNINSTALL_REGISTRY"
  os=Unknown

  # run_dialog HOST REASON-NUMBER FREE-TEXT: the console dialog with the answers piped in.
  run_dialog() {
    printf '%s\n%s\n' "$2" "$3" | UNINSTALL_STAT_HOST=$1 timeout 120 "$prog" My_Product >"$tmp/dialog.out" 2>&1
    local rc=$?
    [ $rc -eq 0 ] || { fail "the program ended with $rc"; cat "$tmp/dialog.out"; }
  }
else
  # A private copy of the build's Wine prefix: the test's registry values and Wine's own settings stay
  # here, and a wineserver of its own sees the fake openers on PATH.
  build_prefix=$build/wineprefix
  [ -f "$build_prefix/system.reg" ] || WINEPREFIX=$build_prefix "$UF_WINE" cmd /c exit >/dev/null 2>&1
  [ -f "$build_prefix/system.reg" ] || skip "no Wine prefix in $build"
  mkdir -p "$tmp/prefix"
  # System files are hard-linked (a full copy is some 700 MB); the files Wine rewrites in place, the
  # registry and the .ini files, are real copies.
  { cp -al "$build_prefix/drive_c" "$tmp/prefix/drive_c" 2>/dev/null ||
      cp -a "$build_prefix/drive_c" "$tmp/prefix/drive_c"; } &&
    cp -a "$build_prefix/dosdevices" "$tmp/prefix/" && cp "$build_prefix"/*.reg "$tmp/prefix/" ||
    skip "cannot copy the Wine prefix"
  for ini in "$tmp/prefix/drive_c/windows"/*.ini; do
    [ -f "$ini" ] && cp --remove-destination "$build_prefix/drive_c/windows/${ini##*/}" "$ini"
  done
  export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
  if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 150 199); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=$n; break; }; done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:$display
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  fi
  # winebrowser tries /usr/bin/open first where one is installed (xdg-utils makes it), not the PATH's.
  wine reg add 'HKCU\Software\Wine\WineBrowser' /v Mailers /d xdg-email /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d xdg-open /f >/dev/null 2>&1
  # Wine says it is Windows XP, so the version facts reach the query as a known name.
  wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d winxp /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Quarnel\Velmora3' /v StartDate /t REG_BINARY /d "$start_hex" /f >/dev/null 2>&1 ||
    fail "wine reg add"
  os=Windows+XP

  # run_dialog HOST ACTION FREE-TEXT: the Win32 dialog; ACTION is "button" (type the text into the
  # focused edit, click Uninstall) or "close-N" (pick reason N with the mouse, close with Alt+F4).
  run_dialog() {
    UNINSTALL_STAT_HOST=$1 wine "$prog" My_Product >"$tmp/dialog.out" 2>&1 &
    local pid=$! window=
    for _ in $(seq 300); do
      window=$(xdotool search --onlyvisible --name '^Uninstall$' 2>/dev/null | head -1)
      [ -n "$window" ] && break
      sleep 0.1
    done
    if [ -z "$window" ]; then
      fail "the dialog did not appear"
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
      return
    fi
    sleep 0.5
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    case $2 in
      button)
        [ -n "$3" ] && xdotool type --delay 50 --window "$window" "$3"
        sleep 0.3
        click_client "$window" 365 264  # the middle of bnDelete
        ;;
      close-*)
        # The reasons share the group's height; item N's button sits at its left edge.
        local n=${2#close-}
        click_client "$window" 30 $((64 + 12 + (n - 1) * 24))
        sleep 0.3
        xdotool key --window "$window" alt+F4
        ;;
    esac
    for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      fail "the dialog did not close"
      import -window root "$tmp/screen.png" 2>/dev/null && cp "$tmp/screen.png" "$build/report_stat-screen.png"
      kill "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
  }
  # click_client WINDOW X Y: a click at client coordinates of the dialog.
  click_client() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove --sync $((X + $2)) $((Y + $3)) click 1
  }
fi

# wait_opened: the openers run detached from the program; give them a moment.
wait_opened() {
  for _ in $(seq 100); do [ -s "$tmp/opened.log" ] && break; sleep 0.1; done
  sleep 0.5
}

expect_query() {
  local got
  got=$(tail -n 1 "$tmp/queries.log")
  echo "query: $got"
  [ "$got" = "$1" ] || fail "query: expected '$1', got '$got'"
  [ "$(wc -l <"$tmp/queries.log")" -eq "$2" ] || fail "expected $2 requests in all, the script saw $(wc -l <"$tmp/queries.log")"
}

# 1. The script confirms: the report arrives, no mail link.
if [ "$target" = linux ]; then
  run_dialog "127.0.0.1:$port" 5 "typed but not sent"
  reason1=Too+expensive
else
  run_dialog "127.0.0.1:$port" button "a&b"
  reason1=Other%3A+a%26b
fi
expect_query "days=$expected_days&prj=My+Product&os=$os&reason=$reason1" 1
sleep 1
[ -s "$tmp/opened.log" ] && fail "a mail link was opened although the script confirmed: $(cat "$tmp/opened.log")"

# 2. The script answers something else: the report arrives, the mail link is opened.
printf 'Not today\r\n' >"$tmp/answer"
: >"$tmp/opened.log"
if [ "$target" = linux ]; then
  run_dialog "127.0.0.1:$port" 7 "a&b 100% #1"
  expect_query "days=$expected_days&prj=My+Product&os=$os&reason=Other%3A+a%26b+100%25+%231" 2
  body="Other:%20a%26b%20100%25%20%231"
else
  run_dialog "127.0.0.1:$port" close-5 ""
  expect_query "days=$expected_days&prj=My+Product&os=$os&reason=Too+expensive" 2
  body="Too%20expensive"
fi
wait_opened
link="mailto:$mailbox?subject=uninstall+My+Product&body=$body"
opened=$(cat "$tmp/opened.log")
echo "script answered otherwise; opened: $opened"
# The Linux program starts xdg-open itself; under Wine, winebrowser prefers xdg-email for mailto: links.
case "$opened" in
  "xdg-open $link" | "xdg-email $link") ;;
  *) fail "mail link: expected '$link', recorded '$opened'" ;;
esac

# 3. Nobody listens: the mail link is opened.
: >"$tmp/opened.log"
if [ "$target" = linux ]; then
  run_dialog "127.0.0.1:$closed_port" "" ""
  body="Other:%20"
else
  run_dialog "127.0.0.1:$closed_port" button ""
  body="Other:%20"
fi
[ "$(wc -l <"$tmp/queries.log")" -eq 2 ] || fail "a request reached the script on a port nobody listens on"
wait_opened
link="mailto:$mailbox?subject=uninstall+My+Product&body=$body"
opened=$(cat "$tmp/opened.log")
echo "nobody listening; opened: $opened"
case "$opened" in
  "xdg-open $link" | "xdg-email $link") ;;
  *) fail "mail link without a server: expected '$link', recorded '$opened'" ;;
esac

# The program's own traces stay in the test's folder.
[ -e "$HOME/.local/state/XML_Log.txt" ] && fail "the trace file went to the user's state folder"

if [ "$failures" -gt 0 ]; then
  echo "--- dialog"; cat "$tmp/dialog.out"
  echo "--- queries"; cat "$tmp/queries.log"
  echo "--- nginx"; cat "$tmp/nginx-error.log" 2>/dev/null
  exit 1
fi
echo "report_stat: all checks passed ($target)"
