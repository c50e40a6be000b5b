#!/usr/bin/env bash
# package.sh [BUILD_DIR]: makes the Debian package vantrel_<version>_<arch>.deb with CPack and prints its
# path as the last line. Without BUILD_DIR it builds the installed programs alone into build/release (a
# Release tree without tests or benchmarks, the one scripts/run.sh uses); with BUILD_DIR it packages that
# tree, already configured, after bringing it up to date (the test command passes its own build/ci, whose
# binaries CPack strips). Fails when the package lacks its manual pages or lintian finds an error; lintian's
# warnings are shown (README.md lists those kept on purpose).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=${VANTREL_JOBS:-2}
if [ $# -eq 0 ]; then
  build=build/release
  bash scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DVANTREL_BENCH=OFF -DBUILD_TESTING=OFF
else
  build=$1
  cmake --build "$build" -j"$jobs"
fi

# CPack installs the tree into its own staging folder, strips the binaries, asks dpkg-shlibdeps for the
# dependencies and writes the package below BUILD_DIR/package.
rm -rf "$build/package"
cpack --config "$build/CPackConfig.cmake" -B "$build/package" >"$build/cpack.log" || {
  cat "$build/cpack.log" >&2
  echo "package.sh: CPack failed" >&2
  exit 1
}
debs=("$build"/package/vantrel_*.deb)
deb=$(realpath "${debs[0]}")
[ -f "$deb" ] || { echo "package.sh: CPack wrote no package" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb")
for page in vantrel.1.gz vantrel-transfer.1.gz; do
  grep -q "/usr/share/man/man1/$page\$" <<<"$contents" || {
    echo "package.sh: the package has no manual page $page (is help2man installed?)" >&2
    exit 1
  }
done

dpkg-deb -f "$deb" Package Version Architecture Installed-Size Depends
echo "== lintian"
lintian --fail-on error "$deb"
echo "$deb"
