#!/usr/bin/env bash
# Installs what is needed, builds Vantrel and runs it on the simulated recorder. With a display (DISPLAY or
# WAYLAND_DISPLAY set) it starts the window on the simulated recorder's built-in demo clips, whose pictures
# show their frame number and time code in the preview. Without one it lists the built-in demo clips and
# transfers every one of them with vantrel-transfer into MXF files below a folder it names (VANTREL_OUT,
# default out/demo).
# Arguments, when given, go to vantrel-transfer instead (for example: list --json).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DVANTREL_BENCH=OFF -DBUILD_TESTING=OFF
transfer=build/release/cli/vantrel-transfer
if [ $# -gt 0 ]; then
  exec "$transfer" "$@"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== starting the window: tick clips, choose a folder, press Start Transfer"
  exec build/release/app/vantrel
fi
out=${VANTREL_OUT:-out/demo}
mkdir -p "$out"
echo "== no display: the command line instead. The recorder's clips:"
"$transfer" list
echo "== transferring every clip into $out"
"$transfer" transfer --dest "$out" --all
echo "== finished: the MXF files are below $out"
