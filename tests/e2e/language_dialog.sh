#!/usr/bin/env bash
# End to end: the dialog in a shipped language. A product profile as the installer leaves it (registry
# DataPath and XMLPath, Desktop.xml with Options\Advanced Language, the project's lang/ copied to
# <XMLPath>Lang\), the statistics script behind nginx and PHP-FPM on loopback (as in report_stat.sh), and:
#  - Linux, in the terminal: Russian from the settings file under a Cyrillic locale that is not the
#    Russian user's (ru_MD, 0x0819), Russian from the Russian locale whatever the settings say, German
#    from the settings file; the texts on screen and the reason sent as its code-page bytes,
#    percent-encoded.
#  - Windows, under Wine with LANG=ru_RU.UTF-8 (locale 1049, code page 1251): the Russian window,
#    photographed to $UF_BUILD/screenshots/dialog-russian.png, a reason picked with the mouse and the
#    button clicked; the query carries the Windows-1251 bytes of the reason.
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
  for tool in wine xdotool import; do command -v $tool >/dev/null || skip "$tool is not installed"; done
  [ -n "${DISPLAY:-}" ] || command -v Xvfb >/dev/null || skip "no DISPLAY and no Xvfb"
else
  prog=$build/bin/uninstall-feedback
fi
[ -f "$prog" ] || skip "$prog is not built"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/uf-language-e2e.XXXXXX")
nginx_pid= fpm_pid= xvfb_pid= dialog_pid=
cleanup() {
  [ -n "$dialog_pid" ] && kill "$dialog_pid" 2>/dev/null
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
CONF
  "$fpm" -n -y "$tmp/php-fpm.conf" -p "$tmp" ${as_root:+-R} -F >>"$tmp/php-fpm.log" 2>&1 &
  fpm_pid=$!
  mkdir -p "$tmp/nginx"
  for _ in $(seq 20); do
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
: >"$tmp/queries.log"

# A reason as the query must carry it: its bytes in the code page, percent-encoded, "+" for blanks.
encoded() { php -r 'echo urlencode(iconv("UTF-8", $argv[2], $argv[1]));' "$1" "$2"; }

# expect_reason TEXT CODEPAGE: the last request's reason.
expect_reason() {
  local want got
  want="reason=$(encoded "$1" "CP$2")"
  got=$(tail -n 1 "$tmp/queries.log")
  echo "query: $got"
  case "$got" in
    *"&$want") ;;
    *) fail "reason '$1': expected ...&$want, got '$got'" ;;
  esac
}

# ---- The product's profile: folders, settings file, language files --------------------------------

mkdir -p "$tmp/home" "$tmp/Data" "$tmp/XML/Lang" "$tmp/fakebin"
cp -R "$source/lang/." "$tmp/XML/Lang/"
settings() {
  printf '<?xml version="1.0"?>\r\n<Options>\r\n  <Advanced Language="%s" />\r\n</Options>\r\n' "$1" >"$tmp/Data/Desktop.xml"
}
# The mail link must not reach a real desktop when something goes wrong.
for opener in xdg-open xdg-email; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/opened.log"\n' "$opener" "$tmp" >"$tmp/fakebin/$opener"
  chmod +x "$tmp/fakebin/$opener"
done
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_STATE_HOME=$tmp/home/.local/state
export UNINSTALL_XML_LOG=$tmp/XML_Log.txt PATH=$tmp/fakebin:$PATH
unset LANGUAGE LC_MESSAGES LC_CTYPE

russian_reasons=("Работает нестабильно" "Не хватает возможностей" "Требует много ресурсов" "Неудобный интерфейс"
  "Слишком дорого" "Переход на новую версию" "Другое")
german_reasons=("Läuft instabil" "Es fehlen Funktionen" "Braucht zu viele Ressourcen" "Umständliche Bedienung"
  "Zu teuer" "Umstieg auf eine neue Version" "Sonstiges")

if [ "$target" = linux ]; then
  export UNINSTALL_REGISTRY=$tmp/registry.reg
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quarnel\\Velmora3]\r\n"DataPath"="%s"\r\n"XMLPath"="%s"\r\n' \
    "$tmp/Data" "$tmp/XML" >"$UNINSTALL_REGISTRY"

  # console LOCALE ANSWERS: the terminal dialog in that locale, the answers piped in.
  console() {
    printf '%b' "$2" | LANG=$1 LC_ALL=$1 UNINSTALL_STAT_HOST=127.0.0.1:$port timeout 120 "$prog" My_Product \
      >"$tmp/dialog.out" 2>&1
    local rc=$?
    cat "$tmp/dialog.out"
    [ $rc -eq 0 ] || fail "the program ended with $rc"
  }
  # shows TITLE HEADER QUESTION BUTTON SELECTED REASON...: the terminal shows the translated dialog.
  shows() {
    local title=$1 header=$2 question=$3 button=$4 selected=$5 n=1 mark
    shift 5
    for line in "== $title ==" "$header" "$question" "[ $button ]"; do
      grep -qxF -- "$line" "$tmp/dialog.out" || fail "the terminal lacks the line '$line'"
    done
    for reason in "$@"; do
      mark="  "; [ $n -eq "$selected" ] && mark=" *"
      grep -qxF -- "$mark $n. $reason" "$tmp/dialog.out" || fail "the terminal lacks reason '$mark $n. $reason'"
      n=$((n + 1))
    done
    grep -q "My Product" "$tmp/dialog.out" && fail "the English question is still shown"
  }

  echo "== Russian in Desktop.xml, a Cyrillic locale that is not the Russian user's (ru_MD)"
  settings Russian
  console ru_MD.UTF-8 '6\n\n'
  shows "Удаление" "Вопрос:" "Почему вы решили удалить программу?" "Удалить" 7 "${russian_reasons[@]}"
  expect_reason "Переход на новую версию" 1251

  echo "== German in Desktop.xml, the Russian user's locale (ru_RU): Russian all the same"
  settings German
  console ru_RU.UTF-8 '7\nслишком сложно\n'
  shows "Удаление" "Вопрос:" "Почему вы решили удалить программу?" "Удалить" 7 "${russian_reasons[@]}"
  expect_reason "Другое: слишком сложно" 1251

  echo "== German in Desktop.xml, a German locale"
  console de_DE.UTF-8 '4\n\n'
  shows "Deinstallation" "Frage:" "Warum möchten Sie das Programm entfernen?" "Deinstallieren" 7 "${german_reasons[@]}"
  expect_reason "Umständliche Bedienung" 1252

  echo "== english in Desktop.xml: the built-in texts"
  settings english
  console de_DE.UTF-8 '5\n\n'
  grep -qxF "Why have you made up your mind to remove My Product?" "$tmp/dialog.out" || fail "not English"
  expect_reason "Too expensive" 1252
else
  # A private copy of the build's Wine prefix (as report_stat.sh makes it): system files hard-linked, the
  # files Wine rewrites copied.
  build_prefix=$build/wineprefix
  [ -f "$build_prefix/system.reg" ] || WINEPREFIX=$build_prefix "$UF_WINE" cmd /c exit >/dev/null 2>&1
  [ -f "$build_prefix/system.reg" ] || skip "no Wine prefix in $build"
  mkdir -p "$tmp/prefix"
  { cp -al "$build_prefix/drive_c" "$tmp/prefix/drive_c" 2>/dev/null ||
      cp -a "$build_prefix/drive_c" "$tmp/prefix/drive_c"; } &&
    cp -a "$build_prefix/dosdevices" "$tmp/prefix/" && cp "$build_prefix"/*.reg "$tmp/prefix/" ||
    skip "cannot copy the Wine prefix"
  for ini in "$tmp/prefix/drive_c/windows"/*.ini; do
    [ -f "$ini" ] && cp --remove-destination "$build_prefix/drive_c/windows/${ini##*/}" "$ini"
  done
  # The Russian user: locale 1049 and code page 1251 come from the Unix locale.
  export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
  if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 150 199); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=$n; break; }; done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:$display
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  fi
  # Wine draws the frame itself (there is no window manager), so the photograph shows the title bar.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  key='HKCU\Software\Quarnel\Velmora3'
  wine reg add "$key" /v DataPath /d "$(winepath -w "$tmp/Data")" /f >/dev/null 2>&1 || fail "wine reg add DataPath"
  wine reg add "$key" /v XMLPath /d "$(winepath -w "$tmp/XML")" /f >/dev/null 2>&1 || fail "wine reg add XMLPath"
  settings Russian

  UNINSTALL_STAT_HOST=127.0.0.1:$port wine "$prog" My_Product >"$tmp/dialog.out" 2>&1 &
  dialog_pid=$!
  window=
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Удаление$' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$dialog_pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ -z "$window" ]; then
    fail "no window titled Удаление (windows now: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|'))"
  else
    sleep 2  # let it paint
    mkdir -p "$build/screenshots"
    shot=$build/screenshots/dialog-russian.png
    import -window "$window" "$shot" || import -window root "$shot"
    echo "screenshot: $shot"
    # The client area (422 x 287 at 96 dpi) sits inside the frame Wine draws: equal borders, title on top.
    eval "$(xdotool getwindowgeometry --shell "$window")"
    border=$(( (WIDTH - 422) / 2 ))
    top=$(( HEIGHT - 287 - border ))
    click() { xdotool mousemove --window "$window" $((border + $1)) $((top + $2)) click 1; sleep 0.5; }
    click 30 $((64 + 12 + 5 * 24))  # the sixth reason's button
    click 365 264                   # bnDelete
    for _ in $(seq 300); do kill -0 "$dialog_pid" 2>/dev/null || break; sleep 0.2; done
    if kill -0 "$dialog_pid" 2>/dev/null; then
      fail "the dialog did not close on its button"
    else
      wait "$dialog_pid"; rc=$?
      [ $rc -eq 0 ] || fail "the program ended with $rc"
      dialog_pid=
      [ "$(wc -l <"$tmp/queries.log")" -eq 1 ] || fail "expected one request, the script saw $(wc -l <"$tmp/queries.log")"
      expect_reason "Переход на новую версию" 1251
    fi
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "--- dialog"; cat "$tmp/dialog.out"
  echo "--- queries"; cat "$tmp/queries.log"
  exit 1
fi
echo "language_dialog: all checks passed ($target)"
