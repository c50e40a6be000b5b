#!/usr/bin/env bash
# check_completion.sh COMPLETION TOOL: the bash completion of vantrel-transfer offers the commands, the
# options of each command, the values of --mode, the presets of --name, and for transfer the names of the clips the recorder lists
# as transferable, asked with the --media already typed; a clip name is offered, never run.
set -euo pipefail
export LC_ALL=C
completion=$1
tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# shellcheck source=/dev/null
source "$completion"
# Outside a real completion compopt has nothing to change.
compopt() { :; }
fail=0

# The sorted words offered for the command line given, whose last word is the one being completed.
offered() {
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  _vantrel_transfer
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}
expect() {
  local want=$1
  shift
  local got
  got=$(offered "$@")
  [ "$got" = "$want" ] || { echo "for '$*': offered '$got', expected '$want'" >&2; fail=1; }
}

expect "--help --media --speed --version check list transfer verify" "$tool" ""
expect "transfer" "$tool" --speed max tr
expect "--json" "$tool" list --
expect "with-preview without-preview" "$tool" transfer --mode wi
expect "preview-only" "$tool" --media x.json transfer --dest out --mode p
expect "--dest" "$tool" transfer --all --de
expect "max" "$tool" --speed m
expect "{reel}/{clip} {reel}/{start}_{clip}" "$tool" transfer --name "{r"
expect "--name" "$tool" transfer --all --na
expect "--stall-timeout --strict" "$tool" transfer --all --st
expect "--no-mhl --no-verify" "$tool" transfer --all --no-
expect "--no-record" "$tool" verify --no
expect "--bag" "$tool" transfer --all --ba
expect "" "$tool" transfer --bag --organization A

# A recorder whose clips are an interlaced one, a progressive one (never offered) and one whose name would
# run a command if it were expanded.
cat >media.json <<'JSON'
{"clips": [
  {"fileName": "SHOT01", "durationFrames": 5, "scan": 0},
  {"fileName": "SHOT02", "durationFrames": 5, "scan": 2},
  {"fileName": "S$(touch ran)", "durationFrames": 5, "scan": 0}
]}
JSON
expect "SHOT01 S\\\$\\(touch\\ ran\\)" "$tool" --media media.json --speed max transfer --dest out S
expect "SHOT01" "$tool" --media media.json transfer SH
[ ! -e ran ] || { echo "a clip name was run by the completion" >&2; fail=1; }
exit $fail
