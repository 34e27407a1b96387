#!/usr/bin/env bash
# End to end, the way the program runs in the field: the stand-in product Velmora (installer/velmora.nsi)
# is built with makensis, installed silently under Wine into a chosen folder, and removed with its
# uninstaller, which runs the feedback dialog from the product's folder and waits for it. The dialog is
# answered with xdotool; then the product's files and registry key must be gone, and the statistics
# collector (server/, behind nginx and PHP-FPM on loopback) must have stored the report: no mail link.
set -uo pipefail
target=${UF_TARGET:?} build=${UF_BUILD:?} source=${UF_SOURCE:?}
[ "$target" = windows ] || { echo "skipped: the installer is a Windows program"; exit 77; }
. "$source/tests/e2e/lib/session.bash"
require "$(stat_missing)"
e2e_program makensis
e2e_folder nsis-e2e
start_collector

# ---- The installer ---------------------------------------------------------------------------------------
makensis -V2 -DFEEDBACK_DIR="$build/bin" -DLANG_DIR="$source/lang" -DOUTFILE="$tmp/VelmoraSetup.exe" \
  "$source/installer/velmora.nsi" || { echo "FAILED: makensis"; exit 1; }

# ---- A private Wine prefix and X display; the desktop's openers record what they are given ---------------
fake_openers "$tmp/fakebin" "$tmp/opened.log"
export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 UNINSTALL_STAT_HOST=127.0.0.1:$stat_port
export UNINSTALL_XML_LOG=$tmp/XML_Log.txt
wine_session "$build" "$tmp/fakebin" || exit 1
# Wine says it is Windows XP, so the version facts reach the report as a known name.
wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d winxp /f >/dev/null 2>&1

# ---- Install silently into a chosen folder ------------------------------------------------------------------
folder='C:\Velmora Test'
unix_folder=$tmp/prefix/drive_c/Velmora\ Test
# NSIS reads /D= only unquoted and last, so the command line goes through cmd as it is.
cp "$tmp/VelmoraSetup.exe" "$tmp/prefix/drive_c/VelmoraSetup.exe"
timeout 120 wine cmd /c "C:\VelmoraSetup.exe /S /D=$folder" >"$tmp/install.log" 2>&1
for file in UninstallFeedback.exe Uninstall.exe Velmora.txt XML/Lang/German/Uninstall.xml; do
  [ -f "$unix_folder/$file" ] || fail "installed: $file is missing"
done
key='HKCU\Software\Quarnel\Velmora3'
wine reg query "$key" /v XMLPath 2>/dev/null | grep -qF 'C:\Velmora Test\XML\' || fail "installed: the product's registry key"
# The product's first start, two days ago, as the product records it: 3 days in use.
wine reg add "$key" /v StartDate /t REG_BINARY /d "$(start_date_hex 2)" /f >/dev/null 2>&1 || fail "wine reg add StartDate"

# ---- Remove it as a user does: the uninstaller, the dialog, a reason, the button ----------------------------
wine "$unix_folder/Uninstall.exe" >"$tmp/uninstall.log" 2>&1 &
window=$(wait_for_window '^Uninstall$')
if [ -z "$window" ]; then
  fail "the feedback dialog did not appear"
else
  [ -f "$unix_folder/Velmora.txt" ] || fail "the files were removed before the dialog was answered"
  sleep 0.5
  click_reason "$window" 5  # "Too expensive"
  sleep 0.3
  click_delete "$window"
fi
# The uninstaller closes itself when done; the feedback program and the uninstaller's copy in %TEMP% end.
timeout 120 wineserver -w || fail "the uninstaller did not finish"

# ---- Afterwards ----------------------------------------------------------------------------------------------
[ -e "$unix_folder" ] && fail "the product's folder is left: $(find "$unix_folder" | head -5 | tr '\n' ' ')"
wine reg query "$key" >/dev/null 2>&1 && fail "the product's registry key is left"
stored=$(stat_last_report)
echo "stored: $stored"
[ "$stored" = "Velmora|Windows XP|3|4||English" ] || fail "stored report: expected 'Velmora|Windows XP|3|4||English', got '$stored'"
[ "$(stat_report_count)" = 1 ] || fail "expected one report, the collector has $(stat_report_count)"
sleep 1
[ -s "$tmp/opened.log" ] && fail "a mail link was opened although the collector confirmed: $(cat "$tmp/opened.log")"

if [ "$failures" -gt 0 ]; then
  import -window root "$build/nsis_uninstall-screen.png" 2>/dev/null
  echo "--- install"; cat "$tmp/install.log"; echo "--- uninstall"; cat "$tmp/uninstall.log"
  echo "--- collector"; stat_reports; cat "$tmp/nginx-access.log" "$tmp/php-fpm.log" 2>/dev/null
  exit 1
fi
echo "nsis_uninstall: installed, asked, reported to the collector, removed"
