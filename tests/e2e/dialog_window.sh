#!/usr/bin/env bash
# The Windows program under Wine on an X display: a window titled "Uninstall" appears, is photographed
# to $UF_BUILD/screenshots/dialog.png, and a click on its button closes it; the process exits with 0.
# No network: the statistics host is a closed loopback port, and the mail link goes to a fake opener.
set -uo pipefail
target=${UF_TARGET:?} build=${UF_BUILD:?} source=${UF_SOURCE:?}
[ "$target" = windows ] || exit 77
. "$source/tests/e2e/lib/session.bash"
require "$(wine_missing import)"
program=$build/bin/UninstallFeedback.exe
[ -f "$program" ] || { echo "FAILED: $program is not built"; exit 1; }

e2e_folder window-e2e
fake_openers "$tmp/fakebin" "$tmp/opened.log"
wine_session "$build" "$tmp/fakebin" || exit 1
# Wine draws the frame itself (there is no window manager), so the photograph shows the title bar.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

UNINSTALL_STAT_HOST=127.0.0.1:9 wine "$program" My_Product &
pid=$!
window=$(wait_for_window '^Uninstall$' $pid)
if [ -z "$window" ]; then
  kill -0 $pid 2>/dev/null || { wait $pid; echo "FAILED: the program ended before showing a window ($?)"; exit 1; }
  echo "FAILED: no window titled Uninstall"
  exit 1
fi
sleep 2  # let it paint
photograph "$window" "$build/screenshots/dialog.png"

click_client "$window" $((328 + 37)) $((252 + 12))  # the middle of bnDelete (328,252 75x25)
wait_for_exit $pid || { echo "FAILED: the dialog did not close on the button"; exit 1; }
wait $pid; status=$?
[ $status -eq 0 ] || { echo "FAILED: exit status $status"; exit 1; }
echo "closed by the button, exit status 0"
