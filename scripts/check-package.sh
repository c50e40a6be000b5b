#!/usr/bin/env bash
# check-package.sh DEB: installs the Debian package with apt-get as a user would, runs what it installed
# (scripts/check-installed.sh: --version, list, a transfer with the preview, the window under Xvfb), checks
# its manual pages with man -w and its desktop entry, and removes it again with every package its
# installation pulled in, leaving the machine as it was. Run as root.
set -euo pipefail
deb=$(realpath "$1")
cd "$(dirname "$0")/.."
fail() { echo "check-package.sh: $*" >&2; exit 1; }
if dpkg-query -W -f='${db:Status-Abbrev}' vantrel 2>/dev/null | grep -q '^ii'; then
  fail "vantrel is installed already; this check would remove it"
fi

work=$(mktemp -d)
installed() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" { print $2 }' | sort; }
installed >"$work/before"
restore() {
  apt-get remove -y -qq vantrel >/dev/null 2>&1 || true
  local added
  added=$(installed | comm -13 "$work/before" -)
  if [ -n "$added" ]; then
    echo "-- removing what the installation pulled in: $added"
    # shellcheck disable=SC2086
    apt-get remove -y -qq $added >/dev/null
  fi
  rm -rf "$work"
}
trap restore EXIT
export DEBIAN_FRONTEND=noninteractive
echo "-- apt-get install $deb"
apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get install failed"; }

bash scripts/check-installed.sh /usr
echo "-- man -w"
man -w vantrel-transfer
man -w vantrel
desktop-file-validate /usr/share/applications/vantrel.desktop

echo "-- apt-get remove -y vantrel"
apt-get remove -y -qq vantrel >/dev/null
[ ! -e /usr/bin/vantrel ] || fail "/usr/bin/vantrel is still there after the removal"
echo "check-package.sh: the package was installed, ran and was removed"
