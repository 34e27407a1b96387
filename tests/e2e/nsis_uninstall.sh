#!/usr/bin/env bash
# End to end, the way the program runs in the field: the stand-in product Velmora (installer/velmora.nsi)
# is built with makensis, installed silently under Wine into a chosen folder, and removed with its
# uninstaller, which runs the feedback dialog from the product's folder and waits for it. The dialog is
# answered with xdotool; then the product's files and registry key must be gone and the report must have
# gone out. The statistics host is one variable below: a loopback port nobody listens on, so the report
# ends in the mail link, which Wine hands to a fake xdg-open / xdg-email that records it.
set -uo pipefail
target=${UF_TARGET:?} build=${UF_BUILD:?} source=${UF_SOURCE:?}
[ "$target" = windows ] || { echo "skipped: the installer is a Windows program"; exit 77; }
for tool in makensis wine xdotool; do command -v $tool >/dev/null || { echo "skipped: no $tool"; exit 77; }; done
program=$build/bin/UninstallFeedback.exe
[ -f "$program" ] || { echo "FAILED: $program is not built"; exit 1; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/uf-nsis-e2e.XXXXXX")
xvfb_pid=
cleanup() {
  [ -d "$tmp/prefix" ] && WINEPREFIX=$tmp/prefix wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# Nobody listens here; the collector's address once it answers.
closed_port=9
stat_host=127.0.0.1:$closed_port

# ---- The installer ---------------------------------------------------------------------------------------
makensis -V2 -DFEEDBACK_DIR="$build/bin" -DLANG_DIR="$source/lang" -DOUTFILE="$tmp/VelmoraSetup.exe" \
  "$source/installer/velmora.nsi" || { echo "FAILED: makensis"; exit 1; }

# ---- A private Wine prefix and X display; the desktop's openers record what they are given ---------------
mkdir -p "$tmp/fakebin"
for opener in xdg-open xdg-email; do
  printf '#!/bin/sh\nprintf "%%s %%s\\n" %s "$*" >>"%s/opened.log"\n' "$opener" "$tmp" >"$tmp/fakebin/$opener"
  chmod +x "$tmp/fakebin/$opener"
done
export PATH=$tmp/fakebin:$PATH LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 UNINSTALL_STAT_HOST=$stat_host
export UNINSTALL_XML_LOG=$tmp/XML_Log.txt
. "$source/tests/e2e/lib/wine_session.sh"
wine_session "$tmp" || exit 1

# ---- Install silently into a chosen folder ------------------------------------------------------------------
folder='C:\Velmora Test'
unix_folder=$tmp/prefix/drive_c/Velmora\ Test
# NSIS reads /D= only unquoted and last, so the command line goes through cmd as it is.
cp "$tmp/VelmoraSetup.exe" "$tmp/prefix/drive_c/VelmoraSetup.exe"
timeout 120 wine cmd /c "C:\VelmoraSetup.exe /S /D=$folder" >"$tmp/install.log" 2>&1
for file in UninstallFeedback.exe Uninstall.exe Velmora.txt XML/Lang/German/Uninstall.xml; do
  [ -f "$unix_folder/$file" ] || fail "installed: $file is missing"
done
wine reg query 'HKCU\Software\Quarnel\Velmora3' /v XMLPath 2>/dev/null | grep -qF 'C:\Velmora Test\XML\' ||
  fail "installed: the product's registry key"

# ---- Remove it as a user does: the uninstaller, the dialog, a reason, the button ----------------------------
wine "$unix_folder/Uninstall.exe" >"$tmp/uninstall.log" 2>&1 &
window=$(wait_for_window '^Uninstall$')
if [ -z "$window" ]; then
  fail "the feedback dialog did not appear"
else
  [ -f "$unix_folder/Velmora.txt" ] || fail "the files were removed before the dialog was answered"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # The fifth reason, "Too expensive", then the button (client coordinates of the designed layout).
  xdotool mousemove --sync $((X + 30)) $((Y + 64 + 12 + 4 * 24)) click 1
  sleep 0.3
  xdotool mousemove --sync $((X + 365)) $((Y + 264)) click 1
fi
# The uninstaller closes itself when done; the feedback program and the uninstaller's copy in %TEMP% end.
timeout 120 wineserver -w || fail "the uninstaller did not finish"

# ---- Afterwards ----------------------------------------------------------------------------------------------
[ -e "$unix_folder" ] && fail "the product's folder is left: $(find "$unix_folder" | head -5 | tr '\n' ' ')"
wine reg query 'HKCU\Software\Quarnel\Velmora3' >/dev/null 2>&1 && fail "the product's registry key is left"
for _ in $(seq 50); do [ -s "$tmp/opened.log" ] && break; sleep 0.1; done
opened=$(cat "$tmp/opened.log" 2>/dev/null)
echo "report: $opened"
case "$opened" in
  *"mailto:"*"?subject=uninstall+Velmora&body=Too%20expensive") ;;
  *) fail "the report (mail link to $stat_host's fallback) carries the product and the reason: '$opened'" ;;
esac

if [ "$failures" -gt 0 ]; then
  import -window root "$build/nsis_uninstall-screen.png" 2>/dev/null
  echo "--- install"; cat "$tmp/install.log"; echo "--- uninstall"; cat "$tmp/uninstall.log"
  exit 1
fi
echo "nsis_uninstall: installed, asked, reported, removed"
