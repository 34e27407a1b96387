#!/usr/bin/env bash
# End to end: closing the dialog sends the report to the statistics collector (server/, behind nginx and
# PHP-FPM on loopback), which stores it; the stored row is read back through the collector's export.
# When the collector does not confirm (its store is down) or nobody listens, the mail link goes to the
# desktop's opener (a fake xdg-open / xdg-email first on PATH that records what it is given); on Linux,
# when no opener can take the link, the terminal shows it.
# Linux: the console dialog with its answers piped in. Windows: the real dialog under Wine on an X server,
# driven with xdotool and photographed to $UF_BUILD/screenshots/dialog.png; ShellExecuteA hands the mailto:
# link to the host through winebrowser.
set -uo pipefail
target=${UF_TARGET:?} build=${UF_BUILD:?} source=${UF_SOURCE:?}

. "$source/tests/e2e/lib/session.bash"
require "$(stat_missing)"
e2e_program import
e2e_folder report-e2e
start_collector
# The collector reads its settings at every request: the store-down case names a database whose folder
# does not exist.
store_up() { printf 'UNINSTALL_STATS_DATA=%s\n' "$tmp/stats" >"$tmp/stats.conf"; }
store_down() { printf 'UNINSTALL_STATS_DSN=sqlite:%s\n' "$tmp/missing/stats.sqlite" >>"$tmp/stats.conf"; }
[ "$(stat_report_count)" = 0 ] || { echo "FAILED: the collector's export does not answer"; cat "$tmp"/*.log; exit 1; }

# A loopback port nobody listens on.
closed_port=$stat_port
while stat_listening "$closed_port"; do closed_port=$((20000 + RANDOM % 40000)); done

# ---- What the desktop would open: fakes that record their argument ---------------------------------

fake_openers "$tmp/fakebin" "$tmp/opened.log"
# What xdg-open does on a machine without a browser or mail program: it gives up with status 3.
mkdir -p "$tmp/noopener"
for opener in xdg-open xdg-email; do
  printf '#!/bin/sh\nexit 3\n' >"$tmp/noopener/$opener"
  chmod +x "$tmp/noopener/$opener"
done

# ---- The run's environment: English, a private home, registry and trace file -------------------------

mkdir -p "$tmp/home"
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_STATE_HOME=$tmp/home/.local/state
export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
unset LANGUAGE LC_MESSAGES
export UNINSTALL_XML_LOG=$tmp/XML_Log.txt
path=$PATH
export PATH=$tmp/fakebin:$path

# "StartDate" two days ago: 3 days in use.
start_hex=$(start_date_hex 2)
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
  wine_session "$build" "$tmp/fakebin" || exit 1
  # Wine says it is Windows XP, so the version facts reach the query as a known name; Wine draws the
  # frame itself (there is no window manager), so the photograph shows the title bar.
  wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d winxp /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Quarnel\Velmora3' /v StartDate /t REG_BINARY /d "$start_hex" /f >/dev/null 2>&1 ||
    fail "wine reg add"
  os="Windows XP"

  # run_dialog HOST ACTION FREE-TEXT: the Win32 dialog; ACTION is "photo" (photograph the window first)
  # or "button" (type the text into the focused edit, click Uninstall) or "close-N" (pick reason N with
  # the mouse, close with Alt+F4).
  run_dialog() {
    UNINSTALL_STAT_HOST=$1 wine "$prog" My_Product >"$tmp/dialog.out" 2>&1 &
    local pid=$! window status
    window=$(wait_for_window '^Uninstall$' $pid)
    if [ -z "$window" ]; then
      fail "the dialog did not appear"
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
      return
    fi
    sleep 0.5
    [ "$2" = photo ] && sleep 1.5 && photograph "$window" "$build/screenshots/dialog.png"
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    case $2 in
      button | photo)
        [ -n "$3" ] && xdotool type --delay 50 --window "$window" "$3"
        sleep 0.3
        click_delete "$window"
        ;;
      close-*)
        click_reason "$window" "${2#close-}"
        sleep 0.3
        xdotool key --window "$window" alt+F4
        ;;
    esac
    if ! wait_for_exit $pid; then
      fail "the dialog did not close"
      import -window root "$build/report_stat-screen.png" 2>/dev/null
      kill "$pid" 2>/dev/null
    fi
    wait "$pid"; status=$?
    [ $status -eq 0 ] || fail "the program ended with $status"
  }
fi

# wait_opened: the openers run detached from the program; give them a moment.
wait_opened() {
  for _ in $(seq 100); do [ -s "$tmp/opened.log" ] && break; sleep 0.1; done
  sleep 0.5
}

# expect_stored FIELDS COUNT: the newest stored report (product|os|days|reason_index|free_text|language)
# and the number of reports stored in all.
expect_stored() {
  local got count
  got=$(stat_last_report) count=$(stat_report_count)
  echo "stored: $got"
  [ "$got" = "$1" ] || fail "stored report: expected '$1', got '$got'"
  [ "$count" = "$2" ] || fail "expected $2 reports stored in all, the collector has $count"
}

expect_opened() {
  local link="mailto:$mailbox?subject=uninstall+My+Product&body=$1" opened
  wait_opened
  opened=$(cat "$tmp/opened.log")
  echo "opened: $opened"
  # The Linux program starts xdg-open itself; under Wine, winebrowser prefers xdg-email for mailto: links.
  case "$opened" in
    "xdg-open $link" | "xdg-email $link") ;;
    *) fail "mail link: expected '$link', recorded '$opened'" ;;
  esac
}

echo "== 1. The collector stores the report and confirms: no mail link"
if [ "$target" = linux ]; then
  run_dialog "127.0.0.1:$stat_port" 5 "typed but not sent"
  expect_stored "My Product|$os|3|4||English" 1
else
  run_dialog "127.0.0.1:$stat_port" photo "a&b"
  expect_stored "My Product|$os|3|6|a&b|English" 1
fi
sleep 1
[ -s "$tmp/opened.log" ] && fail "a mail link was opened although the collector confirmed: $(cat "$tmp/opened.log")"

echo "== 2. The collector's store is down: it answers 503, nothing is stored, the mail link is opened"
store_down
: >"$tmp/opened.log"
if [ "$target" = linux ]; then
  run_dialog "127.0.0.1:$stat_port" 7 "a&b 100% #1"
  body="Other:%20a%26b%20100%25%20%231"
else
  run_dialog "127.0.0.1:$stat_port" close-5 ""
  body="Too%20expensive"
fi
store_up
expect_stored "My Product|$os|3|$([ "$target" = linux ] && echo "4||English" || echo "6|a&b|English")" 1
grep -q '" 503 ' "$tmp/nginx-access.log" || fail "the collector did not answer 503 while its store was down"
expect_opened "$body"

echo "== 3. Nobody listens: the mail link is opened"
: >"$tmp/opened.log"
if [ "$target" = linux ]; then
  run_dialog "127.0.0.1:$closed_port" "" ""
else
  run_dialog "127.0.0.1:$closed_port" button ""
fi
expect_opened "Other:%20"

if [ "$target" = linux ]; then
  echo "== 4. Nobody listens and no program takes the link: the terminal shows it"
  PATH=$tmp/noopener:$path run_dialog "127.0.0.1:$closed_port" 2 ""
  link="mailto:$mailbox?subject=uninstall+My+Product&body=Lacks%20some%20functions"
  grep -qxF "$link" "$tmp/dialog.out" || fail "the terminal does not show the mail link '$link'"

fi

# The program's own traces stay in the test's folder.
[ -e "$HOME/.local/state/XML_Log.txt" ] && fail "the trace file went to the user's state folder"
e2e_end report_stat
