#!/usr/bin/env bash
# The Linux program in a terminal: the English question for the product, the seven reasons with "Other"
# marked, the answers read from standard input, exit status 0. No network: the statistics host is a
# closed loopback port and the mail link goes to a recording stand-in for xdg-open.
set -u
[ "${UF_TARGET:-}" = linux ] || exit 77
program="$UF_BUILD/bin/uninstall-feedback"
[ -x "$program" ] || { echo "missing $program"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/bin"
printf '#!/bin/sh\necho "$@" >> "%s/opened"\n' "$work" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
run() {
  env -i HOME="$work/home" PATH="$work/bin:/usr/bin:/bin" LANG=C.UTF-8 LC_ALL=C.UTF-8 \
    UNINSTALL_REGISTRY="$work/home/registry.reg" UNINSTALL_XML_LOG="$work/xml.log" \
    UNINSTALL_STAT_HOST=127.0.0.1:9 timeout 60 "$program" "$@"
}
fail=0
check() { grep -qF -- "$2" <<<"$1" || { echo "FAIL: output lacks: $2"; fail=1; }; }

out=$(printf '2\nno time to learn it\n' | run My_Product_2); status=$?
echo "$out"
[ $status -eq 0 ] || { echo "FAIL: exit status $status"; fail=1; }
check "$out" "== Uninstall =="
check "$out" "Question:"
check "$out" "Why have you made up your mind to remove My Product 2?"
n=1
for reason in "Unstable" "Lacks some functions" "Resource hungry" "Unfriendly interface" "Too expensive" \
              "Upgrade version"; do
  check "$out" "   $n. $reason"; n=$((n + 1))
done
check "$out" " * 7. Other"
check "$out" "[ Uninstall ]"

# End of input at once: closed as by the close box, still a normal end.
out=$(run Velmora </dev/null); status=$?
[ $status -eq 0 ] || { echo "FAIL: exit status $status on empty input"; fail=1; }
check "$out" "Why have you made up your mind to remove Velmora?"

# No argument: nothing shown, nothing asked, a normal end.
out=$(printf '1\n\n' | run); status=$?
[ $status -eq 0 ] || { echo "FAIL: exit status $status without argument"; fail=1; }
[ -z "$out" ] || { echo "FAIL: output without argument: $out"; fail=1; }
exit $fail
