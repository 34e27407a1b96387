#!/usr/bin/env bash
# Compares two builds of the xmlini tool byte for byte: the output, the error text, the exit status and
# the node trace of `xmlini fmt` and `xmlini dump` on every file of a corpus, under a Windows-1252 and a
# Windows-1251 locale. Not part of ctest: run it by hand before and after a change of the XML unit.
#   bench/xml/compare.sh OLD_XMLINI NEW_XMLINI [CORPUS_DIR]
# Without CORPUS_DIR a corpus is made with make_corpus.py in a temporary folder.
set -euo pipefail
old=$(realpath "$1") new=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus=${3:-}
if [ -z "$corpus" ]; then
  corpus="$work/corpus"
  python3 "$(dirname "$0")/make_corpus.py" "$corpus"
fi

# One run: stdout, stderr, exit status and trace of `xmlini COMMAND FILE`, into PREFIX.*
run() {
  local tool=$1 command=$2 file=$3 prefix=$4
  rm -f "$prefix.trace"
  set +e
  UNINSTALL_XML_LOG="$prefix.trace" "$tool" "$command" "$file" >"$prefix.out" 2>"$prefix.err"
  echo $? >"$prefix.status"
  set -e
  touch "$prefix.trace"
}

same=0 different=0
files=("$corpus"/* "$work/missing.xml" "$corpus")
for locale in C.UTF-8 ru_RU.UTF-8; do
  for file in "${files[@]}"; do
    for command in fmt dump; do
      LC_ALL=$locale run "$old" "$command" "$file" "$work/old"
      LC_ALL=$locale run "$new" "$command" "$file" "$work/new"
      # Error texts name the file; both runs name the same one.
      if cmp -s "$work/old.out" "$work/new.out" && cmp -s "$work/old.err" "$work/new.err" &&
         cmp -s "$work/old.status" "$work/new.status" && cmp -s "$work/old.trace" "$work/new.trace"; then
        same=$((same + 1))
      else
        different=$((different + 1))
        echo "DIFFERENT: $locale $command $file"
      fi
    done
  done
done
echo "compared ${#files[@]} inputs x 2 commands x 2 locales: $same identical, $different different"
[ "$different" -eq 0 ]
