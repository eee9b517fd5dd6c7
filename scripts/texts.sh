#!/usr/bin/env bash
# Extracts the program's texts into a gettext template.
#   scripts/texts.sh default OUT.pot   every Russian text of the program (domain "default")
#   scripts/texts.sh cport OUT.pot     the serial line's texts (domain "cport")
# Domain "default" takes every string literal holding a Cyrillic letter from the program's
# sources, so a new text is picked up wherever it is written, with no marker. The serial line
# keeps its own texts, marked with CPortStr/CPortText, in domain "cport".
set -euo pipefail
cd "$(dirname "$0")/.."
domain=$1
out=$2
export LC_ALL=C.UTF-8
line_files='^comm/(CPort|ComPortLinux|ComPortTermios|ComPortTcp)\.(cpp|h)$'
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
common=(--force-po --from-code=UTF-8 --language=C++ --sort-by-file --no-wrap --package-name=orbis-utility
        --msgid-bugs-address=support@orbis.example.org)
case "$domain" in
  default)
    find comm models shell pages app cli -path app/render -prune -o \( -name '*.cpp' -o -name '*.h' \) -print |
      grep -Ev "$line_files" | sort >"$tmp/files"
    xgettext "${common[@]}" --extract-all --files-from="$tmp/files" -o "$tmp/all.pot" 2>"$tmp/log" ||
      { cat "$tmp/log" >&2; exit 1; }
    # A line break is looked up as "\n" whether the code writes it "\r\n" or "\n".
    sed -i 's/\\r\\n/\\n/g' "$tmp/all.pot"
    msguniq --no-wrap --use-first "$tmp/all.pot" -o "$tmp/all.pot" 2>"$tmp/log" || { cat "$tmp/log" >&2; exit 1; }
    cyrillic='[АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя]'
    msggrep --no-wrap --msgid --extended-regexp --regexp="$cyrillic" "$tmp/all.pot" \
      -o "$tmp/out.pot" 2>"$tmp/log" || { cat "$tmp/log" >&2; exit 1; }
    ;;
  cport)
    find comm \( -name '*.cpp' -o -name '*.h' \) | grep -E "$line_files" | sort >"$tmp/files"
    xgettext "${common[@]}" --keyword --keyword=CPortStr --keyword=CPortText --keyword=CPortFormat \
      --flag=CPortFormat:1:c-format \
      --files-from="$tmp/files" -o "$tmp/out.pot"
    ;;
  *) echo "usage: $0 default|cport OUT.pot" >&2; exit 2 ;;
esac
# Replace only when the texts changed, so that the catalogues are not rebuilt for nothing.
mkdir -p "$(dirname "$out")"
if [ -f "$out" ] && diff -q <(grep -v '^"POT-Creation-Date' "$out") \
                          <(grep -v '^"POT-Creation-Date' "$tmp/out.pot") >/dev/null; then
  touch "$out"
else
  cp "$tmp/out.pot" "$out"
fi
