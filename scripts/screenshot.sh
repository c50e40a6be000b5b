#!/usr/bin/env bash
# screenshot.sh [BUILD_DIR] [PNG]: brings the real window up under Xvfb on a simulated recorder of four clips
# (tests/app/driver/screenshot-media.json: the second never plays; or on VANTREL_SIM_MEDIA's manifest when
# set), works it as a person would (ticks every clip, chooses a folder, presses "Start Transfer") through
# vantrel-window-driver, takes a screenshot of the window in mid-batch (the first clip finished, the second
# failed, the third running with the preview showing) and one of the summary dialog at the batch's end.
# Fails when the window does not come up, its title is wrong, a screenshot is missing or no file is
# finished. BUILD_DIR is a configured build with tests (default build/ci, relative to the repository); PNG
# defaults to docs/window.png, and the summary's screenshot goes beside it as <PNG>-summary.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/ci}
shot=${2:-docs/window.png}
summary=${shot%.png}-summary.png
cmake --build "$build" --target vantrel-window-driver -j"${VANTREL_JOBS:-2}" >/dev/null
driver=$build/tests/app/vantrel-window-driver

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out" "$work/config" "$(dirname "$shot")"
ready=$work/ready

# At twice real time the four clips (5 s, a cue time-out of 3 s, 10 s and 4 s of material) take about
# fifteen seconds.
export XDG_CONFIG_HOME=$work/config VANTREL_SIM_SPEED=${VANTREL_SIM_SPEED:-2} QT_QPA_PLATFORM=xcb
export VANTREL_SIM_MEDIA=${VANTREL_SIM_MEDIA:-$PWD/tests/app/driver/screenshot-media.json}
xvfb-run -a -s "-screen 0 1024x1000x24" bash -c '
  set -euo pipefail
  "$1" "$2" "$3" 2 0 1 2 3 >"$4/driver.log" &
  driver=$!
  # Waits for a file the driver writes, while the driver runs.
  await() {
    for _ in $(seq 900); do
      [ -e "$1" ] && return 0
      kill -0 "$driver" 2>/dev/null || return 1
      sleep 0.1
    done
    return 1
  }
  if await "$3"; then
    import -window "$(sed -n "s/^window //p" "$4/driver.log")" "$5"
  fi
  if await "$3.summary"; then
    import -window "$(sed -n "s/^summary //p" "$4/driver.log")" "$6"
    touch "$3.taken"
  fi
  wait "$driver"
' screenshot "$driver" "$work/out" "$ready" "$work" "$shot" "$summary" || {
  cat "$work/driver.log" >&2
  echo "screenshot.sh: the window did not finish its batch" >&2
  exit 1
}
cat "$work/driver.log"
[ -s "$shot" ] || { echo "screenshot.sh: no screenshot of the window was taken" >&2; exit 1; }
[ -s "$summary" ] || { echo "screenshot.sh: no screenshot of the summary was taken" >&2; exit 1; }
files=$(find "$work/out" -name '*.mxf' | wc -l)
[ "$files" -gt 0 ] || { echo "screenshot.sh: no file was finished" >&2; exit 1; }
echo "screenshot.sh: $files files finished; the window in mid-batch is in $shot, the summary in $summary"
