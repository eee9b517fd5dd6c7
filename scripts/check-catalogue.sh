#!/usr/bin/env bash
# Checks that the English catalogue translates every text of both domains: extracts the
# texts as the build does, merges each catalogue of po/ with them and prints every text that
# has no translation yet (or only a fuzzy one). Exit 1 if there is one.
#   scripts/check-catalogue.sh            check
#   scripts/check-catalogue.sh --update   first merge new texts into po/<domain>/<lang>.po
#                                         (empty, to be filled in) and drop the gone ones
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C.UTF-8
update=false
[ "${1:-}" = "--update" ] && update=true
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
missing=0
for domain in default cport; do
  scripts/texts.sh "$domain" "$tmp/$domain.pot"
  for po in po/"$domain"/*.po; do
    lang=$(basename "$po" .po)
    if $update; then
      msgmerge --quiet --update --backup=none --no-fuzzy-matching --no-wrap "$po" "$tmp/$domain.pot"
      msgattrib --no-obsolete --no-wrap -o "$po" "$po"
    fi
    merged="$tmp/$domain-$lang.po"
    msgmerge --quiet --no-fuzzy-matching --no-wrap -o "$merged" "$po" "$tmp/$domain.pot"
    stats=$(msgfmt --check --statistics -o /dev/null "$merged" 2>&1)
    echo "$domain/$lang: $stats"
    gaps=$( (msgattrib --untranslated --no-wrap --no-obsolete "$merged"
             msgattrib --only-fuzzy --no-wrap --no-obsolete "$merged") |
           grep '^msgid "' | grep -v '^msgid ""$' || true)
    if [ -n "$gaps" ]; then
      echo "$domain/$lang: texts without a translation:"
      echo "$gaps" | sed 's/^/  /'
      missing=1
    fi
  done
done
exit $missing
