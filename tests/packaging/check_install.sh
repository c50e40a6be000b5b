#!/usr/bin/env bash
# check_install.sh BUILD_DIR SOURCE_DIR: installs the build into a folder of its own and checks that every
# file the package carries is there, the icons at their sizes, and that the installed programs run
# (scripts/check-installed.sh), the preview decoder found where the install put it.
set -euo pipefail
build=$1
source=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "check_install.sh: $*" >&2; exit 1; }
cmake --install "$build" --prefix "$root/usr" >/dev/null
cd "$root/usr"
decoder=$(find lib -path '*/vantrel/libmp4decoder_dll.so')
[ "$(find . -name 'libmp4decoder_dll*')" = "./$decoder" ] || fail "not one decoder library in a vantrel folder"
for file in bin/vantrel bin/vantrel-transfer share/applications/vantrel.desktop \
  share/bash-completion/completions/vantrel-transfer share/man/man1/vantrel.1.gz \
  share/man/man1/vantrel-transfer.1.gz share/doc/vantrel/README.md share/doc/vantrel/docs/window.png \
  share/doc/vantrel/docs/window-summary.png share/doc/vantrel/copyright share/doc/vantrel/changelog.gz \
  share/vantrel/policies/vantrel-op1a.xml; do
  [ -f "$file" ] || fail "$file is not installed"
done

# A PNG's width and height are the big-endian words at bytes 16 and 20.
for size in 16 22 24 32 48 64 128 256 512; do
  icon=share/icons/hicolor/${size}x${size}/apps/vantrel.png
  [ -f "$icon" ] || fail "$icon is not installed"
  [ "$(od -An -tu1 -j16 -N8 "$icon" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }')" = "$size $size" ] ||
    fail "$icon is not $size x $size"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate share/applications/vantrel.desktop
fi
gzip -dc share/doc/vantrel/changelog.gz | head -n 1 | grep -q '^vantrel (.*) unstable; urgency=' ||
  fail "the changelog's first line is not a Debian changelog entry"

bash "$source/scripts/check-installed.sh" "$root/usr"
