#!/usr/bin/env bash
# The Windows program under Wine on the X display: a window titled "Uninstall" appears, is photographed
# to $UF_BUILD/screenshots/dialog.png, and a click on its button closes it; the process exits with 0.
# No network: the statistics host is a closed loopback port.
set -u
[ "${UF_TARGET:-}" = windows ] || exit 77
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY"; exit 77; }
command -v xdotool >/dev/null && command -v import >/dev/null || { echo "xdotool or imagemagick missing"; exit 77; }
program="$UF_BUILD/bin/UninstallFeedback.exe"
[ -f "$program" ] || { echo "missing $program"; exit 1; }

# A prefix of its own, where Wine draws the window frame itself (there is no window manager), so that
# the photograph shows the title bar.
export WINEPREFIX="$UF_BUILD/wineprefix-dialog"
"$UF_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
work=$(mktemp -d)
mkdir -p "$work/bin" "$UF_BUILD/screenshots"
printf '#!/bin/sh\necho "$@" >> "%s/opened"\n' "$work" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

PATH="$work/bin:$PATH" UNINSTALL_STAT_HOST=127.0.0.1:9 "$UF_WINE" "$program" My_Product &
pid=$!

id=
for _ in $(seq 120); do
  id=$(xdotool search --name '^Uninstall$' 2>/dev/null | head -1)
  [ -n "$id" ] && break
  kill -0 "$pid" 2>/dev/null || { wait "$pid"; echo "FAIL: the program ended before showing a window ($?)"; exit 1; }
  sleep 0.5
done
[ -n "$id" ] || { echo "FAIL: no window titled Uninstall"; exit 1; }
sleep 2  # let it paint
import -window "$id" "$UF_BUILD/screenshots/dialog.png" || import -window root "$UF_BUILD/screenshots/dialog.png"
echo "screenshot: $UF_BUILD/screenshots/dialog.png"

# The button lies at client (328,252) size 75x25; the client area's origin follows from the frame.
eval "$(xdotool getwindowgeometry --shell "$id")"
border=$(( (WIDTH - 422) / 2 ))
top=$(( HEIGHT - 287 - border ))
xdotool mousemove --window "$id" $((border + 328 + 37)) $((top + 252 + 12)) click 1

for _ in $(seq 60); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.5
done
if kill -0 "$pid" 2>/dev/null; then echo "FAIL: the dialog did not close on the button"; exit 1; fi
wait "$pid"; status=$?
pid=
[ $status -eq 0 ] || { echo "FAIL: exit status $status"; exit 1; }
echo "closed by the button, exit status 0"
