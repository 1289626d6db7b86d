#!/bin/sh
# Runs the desktop tool with one option and no display at all, as on a build machine or over a remote shell:
# the answer must come, contain the expected text, and end with status 0.
# Usage: answers_without_display.sh PROGRAM OPTION EXPECTED
program=$1
option=$2
expected=$3
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$option" 2>&1)
status=$?
echo "$out"
if [ "$status" -ne 0 ]; then
    echo "exit status $status" >&2
    exit 1
fi
case "$out" in
*"$expected"*) exit 0 ;;
esac
echo "the answer lacks \"$expected\"" >&2
exit 1
