#!/usr/bin/env bash
# End to end: the dialog in a shipped language. A product profile as the installer leaves it (registry
# DataPath and XMLPath, Desktop.xml with Options\Advanced Language, the project's lang/ copied to
# <XMLPath>Lang\), the statistics collector behind nginx and PHP-FPM on loopback (as in report_stat.sh), and:
#  - Linux, in the terminal: Russian from the settings file under a Cyrillic locale that is not the
#    Russian user's (ru_MD, 0x0819), Russian from the Russian locale whatever the settings say, German
#    from the settings file; the texts on screen, the reason sent as its code-page bytes,
#    percent-encoded, and the report the collector stored: the reason's index, its language and the
#    free text decoded from Windows-1251 or Windows-1252.
#  - Windows, under Wine with LANG=ru_RU.UTF-8 (locale 1049, code page 1251): the Russian window,
#    photographed to $UF_BUILD/screenshots/dialog-russian.png, a reason picked with the mouse and the
#    button clicked; the query carries the Windows-1251 bytes of the reason, stored as the Russian one.
set -uo pipefail
target=${UF_TARGET:?} build=${UF_BUILD:?} source=${UF_SOURCE:?}

. "$source/tests/e2e/lib/session.bash"
require "$(stat_missing)"
e2e_program import
e2e_folder language-e2e
start_collector
port=$stat_port

# A reason as the query must carry it: its bytes in the code page, percent-encoded, "+" for blanks.
encoded() { php -r 'echo urlencode(iconv("UTF-8", $argv[2], $argv[1]));' "$1" "$2"; }

# expect_reason TEXT CODEPAGE INDEX LANGUAGE FREE-TEXT: the last request's reason as sent (from the web
# server's log) and the report the collector stored from it.
expect_reason() {
  local want got stored
  want="reason=$(encoded "$1" "CP$2")"
  got=$(sed -n 's|.*"GET \(/stat/uninstall\.php?[^ ]*\) HTTP[^"]*" 200 .*|\1|p' "$tmp/nginx-access.log" | tail -n 1)
  echo "query: $got"
  case "$got" in
    *"&$want") ;;
    *) fail "reason '$1': expected ...&$want, got '$got'" ;;
  esac
  stored=$(stat_last_report)
  echo "stored: $stored"
  case "$stored" in
    "My Product|"*"|$3|$5|$4") ;;
    *) fail "reason '$1': expected index $3, free text '$5', language $4; stored '$stored'" ;;
  esac
}

# ---- The product's profile: folders, settings file, language files --------------------------------

mkdir -p "$tmp/home" "$tmp/Data" "$tmp/XML/Lang"
cp -R "$source/lang/." "$tmp/XML/Lang/"
settings() {
  printf '<?xml version="1.0"?>\r\n<Options>\r\n  <Advanced Language="%s" />\r\n</Options>\r\n' "$1" >"$tmp/Data/Desktop.xml"
}
# The mail link must not reach a real desktop when something goes wrong.
fake_openers "$tmp/fakebin" "$tmp/opened.log"
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

  # console LOCALE ANSWERS [PRODUCT]: the terminal dialog in that locale, the answers piped in.
  console() {
    printf '%b' "$2" | LANG=$1 LC_ALL=$1 UNINSTALL_STAT_HOST=127.0.0.1:$port timeout 120 "$prog" ${3-My_Product} \
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
  }

  echo "== Russian in Desktop.xml, a Cyrillic locale that is not the Russian user's (ru_MD)"
  settings Russian
  console ru_MD.UTF-8 '6\n\n'
  shows "Удаление" "Вопрос:" "Почему вы решили удалить программу?" "Удалить" 7 "${russian_reasons[@]}"
  expect_reason "Переход на новую версию" 1251 5 Russian ""

  echo "== German in Desktop.xml, the Russian user's locale (ru_RU): Russian all the same"
  settings German
  console ru_RU.UTF-8 '7\nслишком сложно\n'
  shows "Удаление" "Вопрос:" "Почему вы решили удалить программу?" "Удалить" 7 "${russian_reasons[@]}"
  expect_reason "Другое: слишком сложно" 1251 6 Russian "слишком сложно"

  echo "== German in Desktop.xml, a German locale"
  console de_DE.UTF-8 '4\n\n'
  shows "Deinstallation" "Frage:" "Warum möchten Sie das Programm entfernen?" "Deinstallieren" 7 "${german_reasons[@]}"
  expect_reason "Umständliche Bedienung" 1252 3 German ""
  console de_DE.UTF-8 '7\nzu grün, 100 €\n'
  expect_reason "Sonstiges: zu grün, 100 €" 1252 6 German "zu grün, 100 €"

  echo "== english in Desktop.xml: the built-in texts; the end of input closes the dialog as its close box"
  settings english
  console de_DE.UTF-8 '5\n\n'
  shows Uninstall Question: "Why have you made up your mind to remove My Product?" Uninstall 7 Unstable \
    "Lacks some functions" "Resource hungry" "Unfriendly interface" "Too expensive" "Upgrade version" Other
  expect_reason "Too expensive" 1252 4 English ""
  console C.UTF-8 '' Velmora_3
  grep -qF "remove Velmora 3?" "$tmp/dialog.out" || fail "the product's name is not in the question"
  echo "== No product named: nothing shown, nothing asked, nothing sent"
  console C.UTF-8 '1\n\n' ""
  [ -s "$tmp/dialog.out" ] && fail "output without a product: $(cat "$tmp/dialog.out")"
  [ "$(stat_report_count)" = 6 ] || fail "expected 6 reports, the collector has $(stat_report_count)"
else
  # The Russian user: locale 1049 and code page 1251 come from the Unix locale.
  wine_session "$build" "$tmp/fakebin" ru_RU.UTF-8 || exit 1
  # Wine draws the frame itself (there is no window manager), so the photograph shows the title bar.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  key='HKCU\Software\Quarnel\Velmora3'
  wine reg add "$key" /v DataPath /d "$(winepath -w "$tmp/Data")" /f >/dev/null 2>&1 || fail "wine reg add DataPath"
  wine reg add "$key" /v XMLPath /d "$(winepath -w "$tmp/XML")" /f >/dev/null 2>&1 || fail "wine reg add XMLPath"
  settings Russian

  UNINSTALL_STAT_HOST=127.0.0.1:$port wine "$prog" My_Product >"$tmp/dialog.out" 2>&1 &
  dialog_pid=$!
  window=$(wait_for_window '^Удаление$' $dialog_pid)
  if [ -z "$window" ]; then
    fail "no window titled Удаление (windows now: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|'))"
  else
    sleep 2  # let it paint
    photograph "$window" "$build/screenshots/dialog-russian.png"
    click_reason "$window" 6
    sleep 0.5
    click_delete "$window"
    if ! wait_for_exit $dialog_pid; then
      fail "the dialog did not close on its button"
    else
      wait "$dialog_pid"; rc=$?
      [ $rc -eq 0 ] || fail "the program ended with $rc"
      [ "$(stat_report_count)" = 1 ] || fail "expected one report, the collector has $(stat_report_count)"
      expect_reason "Переход на новую версию" 1251 5 Russian ""
    fi
  fi
fi
e2e_end language_dialog
