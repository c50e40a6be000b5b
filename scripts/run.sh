#!/usr/bin/env bash
# Installs what is needed, builds Vantrel and starts it on the simulated recorder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DVANTREL_BENCH=OFF -DBUILD_TESTING=OFF
exec build/release/cli/vantrel-transfer "$@"
