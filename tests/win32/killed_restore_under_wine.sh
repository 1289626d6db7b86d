#!/usr/bin/env bash
# quillbrook-cli.exe under Wine, killed at random moments while it restores a backup of registry values and
# shortcuts: the next start of the program (a `list`) finishes or rolls back what the killed one left, and
# the machine is then exactly as it was before the restore or exactly as the backup holds it.
#   killed_restore_under_wine.sh WINE_RUN PREFIX CLI_EXE SHORTCUT [ROUNDS]
# Most of a restore's time under Wine is the program's start and load: rounds go on (up to ROUNDS) until two
# kills have met a restore at work.
source "$(dirname "${BASH_SOURCE[0]}")/wine_script.sh"
wine_run=$1 prefix=$2 cli=$3 link=$4 rounds=${5:-20}

tool=$(mktemp -d)
startup_unix=""
entries=48
links=24
cleanup() {
  pkill -9 -f "$(basename "$tool")" >/dev/null 2>&1 || true
  for key in "HKCU\\$cv\\Run" "HKCU\\$cv\\RunDisabled"; do
    for i in $(seq 0 "$entries"); do
      w reg delete "$key" /v "QbKill$i" /f >/dev/null 2>&1 || true
    done
  done
  w reg delete 'HKCU\Software\Quillbrook' /f >/dev/null 2>&1 || true
  [ -z "$startup_unix" ] || rm -f "$startup_unix"/QbKill*.lnk
  rm -rf "$tool"
}
trap finish EXIT
install_program "$cli" "$tool"
find_user_startup

# Two settings, each written with Wine's own reg and file copies, and saved with the tool: "before" (every
# value and shortcut enabled) and "after" (half the values disabled, the other half another command, a
# quarter of the shortcuts gone, one value more).
reg_setting() { # reg_setting before|after FILE
  local run="HKEY_CURRENT_USER\\$cv\\Run"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n' "$run"
    for i in $(seq 0 $((entries - 1))); do
      if [ "$1" = before ]; then
        printf '"QbKill%d"="C:\\\\windows\\\\notepad.exe /before%d"\r\n' "$i" "$i"
      elif [ $((i % 2)) = 0 ]; then
        printf '"QbKill%d"=-\r\n' "$i"
      else
        printf '"QbKill%d"="C:\\\\windows\\\\notepad.exe /after%d"\r\n' "$i" "$i"
      fi
    done
    [ "$1" = after ] && printf '"QbKill%d"="C:\\\\windows\\\\notepad.exe /new"\r\n' "$entries" ||
      printf '"QbKill%d"=-\r\n' "$entries"
    printf '\r\n[%sDisabled]\r\n' "$run"
    for i in $(seq 0 2 $((entries - 1))); do
      if [ "$1" = after ]; then
        printf '"QbKill%d"="C:\\\\windows\\\\notepad.exe /before%d"\r\n' "$i" "$i"
      else
        printf '"QbKill%d"=-\r\n' "$i"
      fi
    done
  } >"$2"
  w reg import "$(w winepath -w "$2" | tr -d '\r')" >/dev/null 2>&1
  for i in $(seq 0 $((links - 1))); do
    if [ "$1" = after ] && [ "$i" -lt $((links / 4)) ]; then
      rm -f "$startup_unix/QbKill link $i.lnk"
    else
      cp "$link" "$startup_unix/QbKill link $i.lnk"
    fi
  done
}
win_tool=$(w winepath -w "$tool" | tr -d '\r')
reg_setting after "$tool/after.reg"
w "$exe" backup "$win_tool\\after.qbk" >/dev/null
reg_setting before "$tool/before.reg"
w "$exe" backup "$win_tool\\before.qbk" >/dev/null

# Every entry the tool lists whose name starts with QbKill, one line each, sorted, without the last column:
# a kill between an apply's commit and the update of the accepted setting leaves its changes marked.
listing() {
  w "$exe" list --all --csv 2>"$tool/said" | tr -d '\r' | grep '^"\?QbKill' | sed 's/,[^,]*$//' | sort || true
}
before=$(listing)
# How long a start and a load take, and a whole restore, under Wine: kills land from a little before the
# restore's apply begins until a little after it ends.
started=$(date +%s%N)
listing >/dev/null
list_ms=$((($(date +%s%N) - started) / 1000000))
started=$(date +%s%N)
w "$exe" restore "$win_tool\\after.qbk" --no-backup >/dev/null
took_ms=$((($(date +%s%N) - started) / 1000000))
after=$(listing)
[ -n "$before" ] && [ "$before" != "$after" ] || { echo "FAIL: the two settings are not apart" >&2; exit 1; }
state=after
recovered=0
RANDOM=20261209
for round in $(seq 1 "$rounds"); do
  [ "$recovered" -lt 2 ] || break
  target=$([ "$state" = after ] && echo before || echo after)
  w "$exe" restore "$win_tool\\$target.qbk" --no-backup >/dev/null 2>&1 &
  from=$((list_ms * 9 / 10)) to=$((took_ms * 9 / 8))
  sleep "$(awk -v ms=$((from + RANDOM % (to - from + 1))) 'BEGIN { printf "%.3f", ms / 1000 }')"
  # Under Wine the program's process is named by its Windows path (Z:\tmp\...): its folder's name finds it.
  pkill -9 -f "$(basename "$tool")" >/dev/null 2>&1 || true
  wait || true
  now=$(listing)
  grep -q 'cut off' "$tool/said" && recovered=$((recovered + 1))
  [ -z "${QB_VERBOSE:-}" ] || { echo "round $round ($target): $(cat "$tool/said")"; }
  if [ "$now" = "$before" ]; then
    state=before
  elif [ "$now" = "$after" ]; then
    state=after
  else
    fail "round $round: neither the old nor the saved setting: $(diff <(echo "$before") <(echo "$now") | head -12)"
    break
  fi
  if [ -n "$(find "$startup_unix" -name '~qb*')" ]; then
    fail "round $round: a staged file is left in the Startup folder"
  fi
done
echo "killed restores under Wine: $round rounds, $recovered found a cut-off restore (a restore takes $took_ms ms)"
[ "$failures" = 0 ]
