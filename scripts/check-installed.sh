#!/usr/bin/env bash
# check-installed.sh PREFIX: runs an installed Vantrel below PREFIX (/usr for the package) as a user would:
# both programs' --version against the version in PREFIX/share/doc/vantrel/changelog.gz, vantrel-transfer
# list, a transfer of the shortest demo clip at --speed max with the preview (whose decoder library must be
# found), and the window under Xvfb until its title shows. The user's settings and media stay out of it.
set -euo pipefail
prefix=$1
fail() { echo "check-installed.sh: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset VANTREL_SIM_MEDIA VANTREL_SIM_SPEED
export XDG_CONFIG_HOME=$work/config
transfer=$prefix/bin/vantrel-transfer
window=$prefix/bin/vantrel

version=$(gzip -dc "$prefix/share/doc/vantrel/changelog.gz" | sed -n '1s/^vantrel (\([^)]*\)).*/\1/p')
[ "$("$transfer" --version)" = "vantrel-transfer $version" ] || fail "vantrel-transfer --version is not $version"
[ "$("$window" --version)" = "vantrel $version" ] || fail "vantrel --version is not $version"
echo "-- vantrel-transfer list"
"$transfer" list

# The shortest clip that can be transferred (the keys of each clip's object come in name order).
clip=$("$transfer" list --json | awk '
  /^ *"durationFrames": / { frames = $2 + 0 }
  /^ *"fileName": "/ { name = $0; sub(/^ *"fileName": "/, "", name); sub(/",?$/, "", name) }
  /^ *"listed": true/ { if (best == "" || frames < least) { best = name; least = frames } }
  END { print best }')
[ -n "$clip" ] || fail "the recorder lists no clip that can be transferred"
echo "-- vantrel-transfer --speed max transfer --mode with-preview $clip"
mkdir "$work/out"
"$transfer" --speed max transfer --dest "$work/out" --mode with-preview "$clip" 2>"$work/transfer.log" || {
  cat "$work/transfer.log" >&2
  fail "the transfer failed"
}
if grep -q "No preview" "$work/transfer.log"; then
  cat "$work/transfer.log" >&2
  fail "the installed programs do not find the preview decoder library"
fi
find "$work/out" -name "$clip.mxf" | grep -q . || fail "the transfer left no $clip.mxf"

echo "-- the installed window under Xvfb"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" 2>"$2" &
  window=$!
  title=
  for _ in $(seq 300); do
    title=$(xwininfo -root -tree 2>/dev/null | grep -o "\"QIRO Vantrel[^\"]*\"" | head -n 1) || true
    [ -n "$title" ] && break
    kill -0 "$window" 2>/dev/null || break
    sleep 0.1
  done
  kill "$window" 2>/dev/null || true
  wait "$window" 2>/dev/null || true
  [ -n "$title" ] || { cat "$2" >&2; exit 1; }
  echo "window title: $title"
' window "$window" "$work/window.log" || fail "the installed window did not show its title"
