#!/usr/bin/env bash
# Installs what is needed, builds Vantrel and runs it on the simulated recorder: lists the demo clips, then
# transfers every one of them into MXF files below a folder it names (VANTREL_OUT, default out/demo).
# Arguments, when given, go to vantrel-transfer instead (for example: list --json).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DVANTREL_BENCH=OFF -DBUILD_TESTING=OFF
transfer=build/release/cli/vantrel-transfer
if [ $# -gt 0 ]; then
  exec "$transfer" "$@"
fi
out=${VANTREL_OUT:-out/demo}
mkdir -p "$out"
echo "== the recorder's clips"
"$transfer" list
echo "== transferring every clip into $out"
"$transfer" transfer --dest "$out" --all
echo "== finished: the MXF files are below $out"
