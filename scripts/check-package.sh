#!/usr/bin/env bash
# Unpacks the Debian package into a scratch folder and runs the unpacked program there, so a
# file missing from the package (a program, a catalogue, the desktop entry, an icon, the
# manual and its pictures) fails.
#   scripts/check-package.sh [PACKAGE.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:-$(ls build/package/orbis-utility_*.deb)}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
fail() { echo "check-package: $*" >&2; exit 1; }

for f in usr/bin/orbis-utility usr/bin/orbis-sim usr/bin/orbis-cli \
         usr/share/applications/orbis-utility.desktop \
         usr/share/icons/hicolor/scalable/apps/orbis-utility.svg \
         usr/share/icons/hicolor/48x48/apps/orbis-utility.png \
         usr/share/locale/en/LC_MESSAGES/default.mo usr/share/locale/en/LC_MESSAGES/cport.mo; do
  [ -e "$scratch/$f" ] || fail "$f is not in the package"
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "the dependencies lack Qt"

# The manual of each language, with every picture and page it refers to, where the program
# looks for it.
for lang in ru en; do
  page=usr/share/doc/orbis-utility/$lang/index.html
  [ -e "$scratch/$page" ] || fail "$page is not in the package"
  for img in $(grep -Eo '(src|href)="[^"#:]+"' "$scratch/$page" | sed -E 's/^(src|href)="//; s/"$//'); do
    [ -e "$scratch/$(dirname "$page")/$img" ] || fail "$page refers to $img, which is not in the package"
  done
done

# No display: --version and --help must print and end all the same.
env -u DISPLAY -u WAYLAND_DISPLAY "$scratch/usr/bin/orbis-utility" --version | tee "$scratch/version"
grep -qx "orbis-utility [0-9.]*" "$scratch/version" || fail "--version printed no version"
# The catalogues are found relative to the unpacked program.
env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 LANGUAGE=en \
  "$scratch/usr/bin/orbis-utility" --help >"$scratch/help"
grep -q '^Usage: orbis-utility' "$scratch/help" || fail "--help under LANGUAGE=en is not English"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY "$scratch/usr/bin/orbis-utility" --no-such-option 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "an unknown option ended with $status, not 2"
echo "check-package: $(basename "$deb") is complete"
