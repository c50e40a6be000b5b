#!/bin/sh
# usage-as-synopsis.sh PROGRAM ARGUMENT...: runs PROGRAM with the arguments for help2man. A "Usage:" block
# of its output (the heading alone on its line, one indented form a line, longer indents continuing the form
# above) becomes "Usage: FORM" and "  or: FORM" lines, which help2man turns into the page's SYNOPSIS; every
# other line passes unchanged.
program=$1
shift
"$program" "$@" | awk '
  function flush() { if (form != "") print (forms++ ? "  or: " : "Usage: ") form; form = "" }
  block == 0 && /^Usage:$/ { block = 1; next }
  block == 1 && /^      / { sub(/^ +/, " "); form = form $0; next }
  block == 1 && /^  [^ ]/ { flush(); form = $0; sub(/^ +/, "", form); next }
  block == 1 { flush(); block = 2 }
  { print }
  END { flush() }'
