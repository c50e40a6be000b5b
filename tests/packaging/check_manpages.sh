#!/usr/bin/env bash
# check_manpages.sh MAN_DIR README: the manual page of vantrel-transfer names every option the README's
# command line section names, and both manual pages name every environment variable of the README's table.
set -euo pipefail
man_dir=$1
readme=$2
fail=0
# The page's text with roff's escaped hyphens and font changes undone.
page_text() { gzip -dc "$man_dir/$1.1.gz" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g'; }
transfer_page=$(page_text vantrel-transfer)
window_page=$(page_text vantrel)

options=$(sed -n '/^## The command line/,/^## /p' "$readme" | grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u)
variables=$(sed -n '/^## Environment/,/^## /p' "$readme" | grep -oE '^\| `[A-Z_]+`' | tr -d '|` ')
if [ -z "$options" ] || [ -z "$variables" ]; then
  echo "check_manpages.sh: no options or no environment variables found in $readme" >&2
  exit 1
fi
for option in $options; do
  grep -qE -- "(^|[^a-z0-9-])$option(\$|[^a-z0-9-])" <<<"$transfer_page" ||
    { echo "vantrel-transfer(1) lacks $option" >&2; fail=1; }
done
for variable in $variables; do
  grep -qw -- "$variable" <<<"$transfer_page" || { echo "vantrel-transfer(1) lacks $variable" >&2; fail=1; }
  grep -qw -- "$variable" <<<"$window_page" || { echo "vantrel(1) lacks $variable" >&2; fail=1; }
done
exit $fail
