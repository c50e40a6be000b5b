#!/usr/bin/env bash
# screenshot.sh [BUILD_DIR] [PNG]: brings the real window up under Xvfb on the simulated recorder's built-in
# demo clips (or on VANTREL_SIM_MEDIA's manifest when set), works it as a person would (ticks two clips,
# chooses a folder, presses "Start Transfer") through vantrel-window-driver, takes a screenshot of the window
# in mid-transfer with the preview showing, and waits for the batch to finish. Fails when the window does not
# come up, its title is wrong, no screenshot is taken or no file is finished. BUILD_DIR is a configured build
# with tests (default build/ci, relative to the repository); PNG defaults to docs/window.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/ci}
shot=${2:-docs/window.png}
cmake --build "$build" --target vantrel-window-driver -j"${VANTREL_JOBS:-2}" >/dev/null
driver=$build/tests/app/vantrel-window-driver

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out" "$work/config" "$(dirname "$shot")"
ready=$work/ready

# At twice real time the two clips ticked (10 s and 5 s of material) take about eight seconds.
export XDG_CONFIG_HOME=$work/config VANTREL_SIM_SPEED=${VANTREL_SIM_SPEED:-2} QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1024x900x24" bash -c '
  set -euo pipefail
  "$1" "$2" "$3" 0 2 >"$4/driver.log" &
  driver=$!
  for _ in $(seq 600); do
    [ -e "$3" ] && break
    kill -0 "$driver" 2>/dev/null || break
    sleep 0.1
  done
  if [ -e "$3" ]; then
    window=$(sed -n "s/^window //p" "$4/driver.log")
    import -window "$window" "$5"
  fi
  wait "$driver"
' screenshot "$driver" "$work/out" "$ready" "$work" "$shot" || {
  cat "$work/driver.log" >&2
  echo "screenshot.sh: the window did not finish its batch" >&2
  exit 1
}
cat "$work/driver.log"
[ -s "$shot" ] || { echo "screenshot.sh: no screenshot was taken" >&2; exit 1; }
files=$(find "$work/out" -name '*.mxf' | wc -l)
[ "$files" -gt 0 ] || { echo "screenshot.sh: no file was finished" >&2; exit 1; }
echo "screenshot.sh: $files files finished; the window in mid-transfer is in $shot"
