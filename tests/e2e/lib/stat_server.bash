# Sourced by the end-to-end scripts that report to the statistics collector: the collector behind nginx
# and PHP-FPM on loopback (the site and pool of server/deploy/, with private paths), a private copy of
# the build's Wine prefix, and an X server when there is no display. Every process it starts is
# stopped by stat_cleanup, which the caller runs on exit.
#   needs: source (the project folder), tmp (the script's temporary folder)

stat_nginx_pid= stat_fpm_pid= stat_xvfb_pid= stat_port=

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

# stat_reports: the stored reports as the export gives them (CSV, header first), oldest first.
stat_reports() { curl -s --max-time 20 "http://127.0.0.1:$stat_port/stat/export.php"; }

# stat_last_report: the newest report's fields product|os|days|reason_index|free_text|language.
stat_last_report() {
  stat_reports | php -r '$rows = []; while (($r = fgetcsv(STDIN)) !== false) { $rows[] = $r; }
    if (count($rows) > 1) { $r = end($rows); echo implode("|", [$r[1], $r[2], $r[3], $r[4], $r[6], $r[7]]); }'
}

stat_report_count() { stat_reports | php -r '$n = -1; while (fgetcsv(STDIN) !== false) { $n++; } echo max($n, 0);'; }

# stat_wine_prefix BUILD: WINEPREFIX becomes a private copy of the build's prefix in $tmp/prefix. System
# files are hard-linked (a full copy is some 700 MB); the registry and the .ini files, which Wine
# rewrites in place, are real copies. Fails when the build has no prefix.
stat_wine_prefix() {
  local build_prefix=$1/wineprefix ini
  [ -f "$build_prefix/system.reg" ] || WINEPREFIX=$build_prefix "$UF_WINE" cmd /c exit >/dev/null 2>&1
  [ -f "$build_prefix/system.reg" ] || return 1
  mkdir -p "$tmp/prefix"
  { cp -al "$build_prefix/drive_c" "$tmp/prefix/drive_c" 2>/dev/null || cp -a "$build_prefix/drive_c" "$tmp/prefix/drive_c"; } &&
    cp -a "$build_prefix/dosdevices" "$tmp/prefix/" && cp "$build_prefix"/*.reg "$tmp/prefix/" || return 1
  for ini in "$tmp/prefix/drive_c/windows"/*.ini; do
    [ -f "$ini" ] && cp --remove-destination "$build_prefix/drive_c/windows/${ini##*/}" "$ini"
  done
  export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
}

# stat_wine_openers DIR: winebrowser hands mailto: links to DIR/xdg-email and other links to DIR/xdg-open.
# Left to itself it tries /usr/bin/open first, whatever PATH says, and that reaches the real desktop.
# Run it after stat_display: the first Wine program starts the prefix's desktop on the display it sees.
stat_wine_openers() {
  wine reg add 'HKCU\Software\Wine\WineBrowser' /v Mailers /d "$1/xdg-email" /f >/dev/null 2>&1 &&
    wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$1/xdg-open" /f >/dev/null 2>&1
}

# stat_display: an X server of its own unless DISPLAY is set.
stat_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n display=
  for n in $(seq 150 199); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=$n; break; }; done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  stat_xvfb_pid=$!
  export DISPLAY=:$display
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
}

stat_cleanup() {
  [ -n "$stat_nginx_pid" ] && kill "$stat_nginx_pid" 2>/dev/null && wait "$stat_nginx_pid" 2>/dev/null
  [ -n "$stat_fpm_pid" ] && kill "$stat_fpm_pid" 2>/dev/null && wait "$stat_fpm_pid" 2>/dev/null
  if [ -d "$tmp/prefix" ]; then WINEPREFIX=$tmp/prefix wineserver -k 2>/dev/null; fi
  [ -n "$stat_xvfb_pid" ] && kill "$stat_xvfb_pid" 2>/dev/null && wait "$stat_xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
