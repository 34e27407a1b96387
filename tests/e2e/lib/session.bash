# Sourced by the end-to-end scripts (and bench/stat): what they start before they drive a program, each
# written once, and the one cleanup that stops it all.
#   the collector   start_stat_server and the stat_* queries: server/ behind nginx and PHP-FPM on loopback
#                   (the site and pool of server/deploy/, with private paths)
#   the desktop     fake_openers: xdg-open and xdg-email that record the link instead of opening it
#   Wine            wine_session: a private copy of the build's Wine prefix on an X display, links going to
#                   the fake openers; wait_for_window, click_client, photograph and wait_for_exit drive it
# The caller runs e2e_cleanup on exit: it stops every process started here and removes $tmp.
#   needs: source (the project folder), tmp (the script's temporary folder), UF_WINE for Wine

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
skip() { echo "skipped: $*"; exit 77; }

stat_nginx_pid= stat_fpm_pid= xvfb_pid= stat_port=

# require MISSING: skips the test, saying why, unless MISSING (what a *_missing function printed) is empty.
require() { [ -z "$1" ] || skip "$1"; }

# e2e_folder NAME: tmp becomes a fresh temporary folder; on exit e2e_cleanup stops what was started and
# removes it.
e2e_folder() {
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/uf-$1.XXXXXX")
  trap e2e_cleanup EXIT
}

# e2e_program [TOOL...]: prog becomes this target's program (target and build from the caller); skips
# where it is not built, or where Wine, xdotool or the TOOLs are missing for the Windows one.
e2e_program() {
  if [ "$target" = windows ]; then
    prog=$build/bin/UninstallFeedback.exe
    require "$(wine_missing "$@")"
  else
    prog=$build/bin/uninstall-feedback
  fi
  [ -f "$prog" ] || skip "$prog is not built"
}

# e2e_end NAME: after failures, shows the dialog's output and the collector's logs and exits 1; else
# says that NAME passed.
e2e_end() {
  if [ "$failures" -gt 0 ]; then
    echo "--- dialog"; cat "$tmp/dialog.out" 2>/dev/null
    echo "--- collector"; [ -z "$stat_port" ] || stat_reports
    cat "$tmp/nginx-access.log" "$tmp/nginx-error.log" "$tmp/php-fpm.log" 2>/dev/null
    exit 1
  fi
  echo "$1: all checks passed ($target)"
}

# ---- The statistics collector ------------------------------------------------------------------------

stat_listening() { ss -Hltn "sport = :$1" | grep -q .; }

# stat_fpm_binary: the PHP-FPM program, or nothing.
stat_fpm_binary() {
  local fpm
  fpm=$(command -v php-fpm || ls /usr/sbin/php-fpm* 2>/dev/null | sort -V | tail -1)
  [ -n "$fpm" ] && [ -x "$fpm" ] && echo "$fpm"
}

# stat_missing: what the collector needs and this machine lacks, or nothing.
stat_missing() {
  [ -n "$(stat_fpm_binary)" ] || { echo "php-fpm is not installed"; return; }
  command -v nginx >/dev/null || { echo "nginx is not installed"; return; }
  command -v php >/dev/null || { echo "php is not installed"; return; }
  php -r 'exit(extension_loaded("pdo_sqlite") && extension_loaded("mbstring") && extension_loaded("dom") ? 0 : 1);' ||
    echo "PHP lacks pdo_sqlite, mbstring or dom"
}

# start_stat_server SETTINGS-FILE: the collector with the settings of that file (NAME=value lines, read
# on every request, so a test may change them between reports). Sets stat_port. Server blocks the
# caller put in $tmp/extra-*.conf are served beside it (PHP-FPM's socket is $tmp/php-fpm.sock).
start_stat_server() {
  local settings=$1 as_root= fpm
  fpm=$(stat_fpm_binary)
  [ "$(id -u)" = 0 ] && as_root=1
  mkdir -p "$tmp/nginx"
  sed -e "s|^\[uninstall-stats\]|[stat]|; s|^listen = .*|listen = $tmp/php-fpm.sock|" \
      -e "/^user\|^group\|^listen\.\|^env\[/d" "$source/server/deploy/php-fpm-pool.conf" >"$tmp/pool.conf"
  cat >"$tmp/php-fpm.conf" <<CONF
[global]
pid = $tmp/php-fpm.pid
error_log = $tmp/php-fpm.log
daemonize = no
include = $tmp/pool.conf
CONF
  cat >>"$tmp/pool.conf" <<CONF
${as_root:+user = root}
${as_root:+group = root}
catch_workers_output = yes
env[UNINSTALL_STATS_CONFIG] = $settings
CONF
  "$fpm" -y "$tmp/php-fpm.conf" -p "$tmp" ${as_root:+-R} -F >>"$tmp/php-fpm.log" 2>&1 &
  stat_fpm_pid=$!
  local attempt
  for attempt in $(seq 20); do
    stat_port=$((20000 + RANDOM % 40000))
    stat_listening "$stat_port" && continue
    sed -e "s|listen 80;|listen 127.0.0.1:$stat_port;|; s|root /srv/uninstall-feedback/server;|root $source/server;|" \
        -e "s|unix:/run/php/uninstall-stats.sock|unix:$tmp/php-fpm.sock|" "$source/server/deploy/nginx-site.conf" >"$tmp/site.conf"
    cat >"$tmp/nginx.conf" <<CONF
${as_root:+user root;}
worker_processes 1;
daemon off;
pid $tmp/nginx.pid;
error_log $tmp/nginx-error.log;
events { worker_connections 256; }
http {
  access_log $tmp/nginx-access.log;
  client_body_temp_path $tmp/nginx/body;
  fastcgi_temp_path $tmp/nginx/fastcgi;
  proxy_temp_path $tmp/nginx/proxy;
  uwsgi_temp_path $tmp/nginx/uwsgi;
  scgi_temp_path $tmp/nginx/scgi;
  include /etc/nginx/mime.types;
  include $tmp/site.conf;
  include $tmp/extra-*.conf;
}
CONF
    nginx -p "$tmp/nginx" -e "$tmp/nginx-error.log" -c "$tmp/nginx.conf" &
    stat_nginx_pid=$!
    for _ in $(seq 50); do
      stat_listening "$stat_port" && break
      kill -0 "$stat_nginx_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -0 "$stat_nginx_pid" 2>/dev/null && stat_listening "$stat_port" && break
    wait "$stat_nginx_pid" 2>/dev/null
    stat_nginx_pid=
  done
  [ -n "$stat_nginx_pid" ] || { cat "$tmp/nginx-error.log"; return 1; }
  for _ in $(seq 100); do
    [ -S "$tmp/php-fpm.sock" ] && return 0
    sleep 0.1
  done
  cat "$tmp/php-fpm.log"
  return 1
}

# start_collector: the collector storing in $tmp/stats, its settings in $tmp/stats.conf; ends the script
# when it cannot start.
start_collector() {
  printf 'UNINSTALL_STATS_DATA=%s\n' "$tmp/stats" >"$tmp/stats.conf"
  start_stat_server "$tmp/stats.conf" || { echo "FAILED: the statistics server did not start"; exit 1; }
}

# stat_reports: the stored reports as the export gives them (CSV, header first), oldest first.
stat_reports() { curl -s --max-time 20 "http://127.0.0.1:$stat_port/stat/export.php"; }

# stat_last_report: the newest report's fields product|os|days|reason_index|free_text|language.
stat_last_report() {
  stat_reports | php -r '$rows = []; while (($r = fgetcsv(STDIN)) !== false) { $rows[] = $r; }
    if (count($rows) > 1) { $r = end($rows); echo implode("|", [$r[1], $r[2], $r[3], $r[4], $r[6], $r[7]]); }'
}

stat_report_count() { stat_reports | php -r '$n = -1; while (fgetcsv(STDIN) !== false) { $n++; } echo max($n, 0);'; }

# start_date_hex N: the product's registry value StartDate for a first start N days before today at
# midnight (N + 1 days in use), as the hex digits of its 8 bytes: a date-time counted in days from
# 30 December 1899.
start_date_hex() {
  local today=$(( $(date -u -d "$(date +%F)" +%s) / 86400 + 25569 ))
  php -r "echo bin2hex(pack('e', $((today - $1))));"
}

# ---- The desktop's openers ---------------------------------------------------------------------------

# fake_openers DIR LOG: xdg-open and xdg-email in DIR that append "NAME LINK" to LOG (emptied here).
fake_openers() {
  local opener
  mkdir -p "$1"
  for opener in xdg-open xdg-email; do
    printf '#!/bin/sh\nprintf "%%s %%s\\n" %s "$*" >>"%s"\n' "$opener" "$2" >"$1/$opener"
    chmod +x "$1/$opener"
  done
  : >"$2"
}

# ---- Wine on an X display -------------------------------------------------------------------------------

# wine_missing [TOOL...]: what driving a Windows program needs (Wine, xdotool, a display or Xvfb, the
# TOOLs) and this machine lacks, or nothing.
wine_missing() {
  local tool
  for tool in wine xdotool "$@"; do command -v "$tool" >/dev/null || { echo "$tool is not installed"; return; }; done
  [ -n "${DISPLAY:-}" ] || command -v Xvfb >/dev/null || echo "no DISPLAY and no Xvfb"
}

# start_display: an X server of its own unless DISPLAY is set.
start_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n display=
  for n in $(seq 150 199); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=$n; break; }; done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$display
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
}

# wine_session BUILD OPENERS [LOCALE]: WINEPREFIX becomes a private copy of the build's prefix in
# $tmp/prefix, on the display, with winebrowser handing mailto: links to OPENERS/xdg-email and others to
# OPENERS/xdg-open; LOCALE (LANG and LC_ALL) is the Windows user's locale and code page. Says why and
# fails when a step fails.
wine_session() {
  local build_prefix=$1/wineprefix ini
  [ -f "$build_prefix/system.reg" ] || WINEPREFIX=$build_prefix "$UF_WINE" cmd /c exit >/dev/null 2>&1
  [ -f "$build_prefix/system.reg" ] || { echo "FAILED: no Wine prefix in $1"; return 1; }
  # System files are hard-linked (a full copy is some 700 MB); the registry and the .ini files, which
  # Wine rewrites in place, are real copies. With the update stamp Wine takes the copy as up to date
  # instead of updating it (some 5 s).
  mkdir -p "$tmp/prefix"
  { cp -al "$build_prefix/drive_c" "$tmp/prefix/drive_c" 2>/dev/null || cp -a "$build_prefix/drive_c" "$tmp/prefix/drive_c"; } &&
    cp -a "$build_prefix/dosdevices" "$build_prefix/.update-timestamp" "$tmp/prefix/" &&
    cp "$build_prefix"/*.reg "$tmp/prefix/" ||
    { echo "FAILED: cannot copy the Wine prefix"; return 1; }
  for ini in "$tmp/prefix/drive_c/windows"/*.ini; do
    [ -f "$ini" ] && cp --remove-destination "$build_prefix/drive_c/windows/${ini##*/}" "$ini"
  done
  export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
  [ -z "${3:-}" ] || export LANG=$3 LC_ALL=$3
  start_display
  # The first Wine program starts the prefix's desktop on the display and in the locale it sees, so this
  # comes last. Left to itself, winebrowser tries /usr/bin/open first, whatever PATH says, and that
  # reaches the real desktop.
  wine reg add 'HKCU\Software\Wine\WineBrowser' /v Mailers /d "$2/xdg-email" /f >/dev/null 2>&1 &&
    wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$2/xdg-open" /f >/dev/null 2>&1 ||
    { echo "FAILED: cannot point winebrowser at the fake openers"; return 1; }
}

# wait_for_window TITLE-REGEX [PID]: the id of the first visible window whose title matches, waiting up to
# 60 s, or until process PID has ended; nothing when none appears.
wait_for_window() {
  local window= _
  for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    [ -n "${2:-}" ] && ! kill -0 "$2" 2>/dev/null && break
    sleep 0.1
  done
  echo "$window"
}

# click_client WINDOW X Y: a click at the dialog's client coordinates (its client area is 422 x 287 at
# 96 dpi). With no window manager the X window is the client area itself, or, where Wine draws the frame
# (X11 Driver\Decorated N), the frame: equal borders, the title on top.
click_client() {
  local X Y WIDTH HEIGHT SCREEN WINDOW border top
  eval "$(xdotool getwindowgeometry --shell "$1")"
  border=$(( (WIDTH - 422) / 2 ))
  top=$(( HEIGHT - 287 - border ))
  xdotool mousemove --sync $((X + border + $2)) $((Y + top + $3)) click 1
}

# click_reason WINDOW N, click_delete WINDOW: the dialog's Nth reason (the reasons share the group's
# height; each button sits at its left edge) and its button bnDelete.
click_reason() { click_client "$1" 30 $((64 + 12 + ($2 - 1) * 24)); }
click_delete() { click_client "$1" 365 264; }

# photograph WINDOW FILE: the window as a PNG (the whole screen when the window cannot be taken alone).
photograph() {
  mkdir -p "$(dirname "$2")"
  import -window "$1" "$2" 2>/dev/null || import -window root "$2"
  echo "screenshot: $2"
}

# wait_for_exit PID: waits up to 60 s for the process to end; fails when it is still running.
wait_for_exit() {
  local _
  for _ in $(seq 600); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}

e2e_cleanup() {
  [ -n "$stat_nginx_pid" ] && kill "$stat_nginx_pid" 2>/dev/null && wait "$stat_nginx_pid" 2>/dev/null
  [ -n "$stat_fpm_pid" ] && kill "$stat_fpm_pid" 2>/dev/null && wait "$stat_fpm_pid" 2>/dev/null
  if [ -d "$tmp/prefix" ]; then WINEPREFIX=$tmp/prefix wineserver -k 2>/dev/null; fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
