# Sourced by end-to-end scripts: wine_session TMP makes TMP/prefix a private copy of the build's Wine prefix
# (system files hard-linked, the files Wine rewrites copied) and exports WINEPREFIX; without DISPLAY it
# starts an Xvfb of its own (xvfb_pid, for the caller's cleanup). Links go to xdg-email / xdg-open as found
# on PATH. Needs build and UF_WINE from ctest. wait_for_window finds a window by its title.
wine_session() {
  local tmp=$1 build_prefix=$build/wineprefix
  [ -f "$build_prefix/system.reg" ] || WINEPREFIX=$build_prefix "$UF_WINE" cmd /c exit >/dev/null 2>&1
  [ -f "$build_prefix/system.reg" ] || { echo "FAILED: no Wine prefix in $build"; return 1; }
  mkdir -p "$tmp/prefix"
  { cp -al "$build_prefix/drive_c" "$tmp/prefix/drive_c" 2>/dev/null ||
      cp -a "$build_prefix/drive_c" "$tmp/prefix/drive_c"; } &&
    cp -a "$build_prefix/dosdevices" "$tmp/prefix/" && cp "$build_prefix"/*.reg "$tmp/prefix/" ||
    { echo "FAILED: cannot copy the Wine prefix"; return 1; }
  local ini
  for ini in "$tmp/prefix/drive_c/windows"/*.ini; do
    [ -f "$ini" ] && cp --remove-destination "$build_prefix/drive_c/windows/${ini##*/}" "$ini"
  done
  export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
  # winebrowser tries /usr/bin/open first where one is installed (xdg-utils makes it), not the PATH's.
  wine reg add 'HKCU\Software\Wine\WineBrowser' /v Mailers /d xdg-email /f >/dev/null 2>&1 &&
    wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d xdg-open /f >/dev/null 2>&1 ||
    { echo "FAILED: wine reg add"; return 1; }
  if [ -z "${DISPLAY:-}" ]; then
    local n display=
    for n in $(seq 150 199); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=$n; break; }; done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:$display
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  fi
}

# wait_for_window TITLE-REGEX: prints the id of the first visible window whose title matches, waiting up to
# 60 s; nothing when none appears.
wait_for_window() {
  local window= _
  for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  echo "$window"
}
