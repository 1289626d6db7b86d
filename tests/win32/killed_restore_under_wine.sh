#!/usr/bin/env bash
# quillbrook-cli.exe under Wine, killed at random moments while it restores a backup of registry values and
# shortcuts: the next start of the program (a `list`) finishes or rolls back what the killed one left, and
# the machine is then exactly as it was before the restore or exactly as the backup holds it.
#   killed_restore_under_wine.sh WINE_RUN PREFIX CLI_EXE SHORTCUT [ROUNDS]
source "$(dirname "${BASH_SOURCE[0]}")/wine_script.sh"
wine_run=$1 prefix=$2 cli=$3 link=$4 rounds=${5:-6}

tool=$(mktemp -d)
startup_unix=""
entries=16
cleanup() {
  pkill -9 -f "$tool/" >/dev/null 2>&1 || true
  for key in "HKCU\\$cv\\Run" "HKCU\\$cv\\RunDisabled"; do
    for i in $(seq 0 $entries); do
      w reg delete "$key" /v "QbKill$i" /f >/dev/null 2>&1 || true
    done
  done
  w reg delete 'HKCU\Software\Quillbrook' /f >/dev/null 2>&1 || true
  [ -z "$startup_unix" ] || rm -f "$startup_unix"/QbKill*.lnk
  rm -rf "$tool"
}
trap finish EXIT
cp "$cli" "$tool/"
exe="$tool/$(basename "$cli")"
: >"$tool/st.dat"
: >"$tool/sn.dat"
: >"$tool/fn.dat"
: >"$tool/sp.dat"
startup=$(w reg query "HKCU\\$cv\\Explorer\\Shell Folders" /v Startup | tr -d '\r' |
  sed -n 's/^ *Startup *REG_SZ *//Ip')
[ -n "$startup" ] || { echo "FAIL: no Startup folder in Shell Folders" >&2; exit 1; }
startup_unix=$(w winepath -u "$startup" | tr -d '\r')
mkdir -p "$startup_unix"

# The machine before: values and shortcuts, all enabled; saved as "before".
reg_file="$tool/before.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\%s\\Run]\r\n' "${cv//\\/\\\\}"
  for i in $(seq 0 $((entries - 1))); do
    printf '"QbKill%d"="C:\\\\windows\\\\notepad.exe /before%d"\r\n' "$i" "$i"
  done
} >"$reg_file"
w reg import "$(w winepath -w "$reg_file" | tr -d '\r')" >/dev/null 2>&1
for i in $(seq 0 $((entries / 2 - 1))); do
  cp "$link" "$startup_unix/QbKill link $i.lnk"
done
win_tool=$(w winepath -w "$tool" | tr -d '\r')
w "$exe" backup "$win_tool\\before.qbk" >/dev/null

# The machine the backup "after" holds: half the values disabled, the other half another command, half the
# shortcuts gone, and one new value.
for i in $(seq 0 $((entries - 1))); do
  if [ $((i % 2)) = 0 ]; then
    w "$exe" disable --name "QbKill$i" --location 'Current User\Registry\Run' --no-backup >/dev/null
  else
    w "$exe" edit --name "QbKill$i" --location 'Current User\Registry\Run' \
      --new-command "C:\\windows\\notepad.exe /after$i" --no-backup >/dev/null
  fi
done
for i in $(seq 0 $((entries / 4 - 1))); do
  w "$exe" delete --name "QbKill link $i" --location 'Current User\Startup Menu' --no-backup >/dev/null
done
w "$exe" add --name "QbKill$entries" --command 'C:\windows\notepad.exe /new' \
  --location 'Current User\Registry\Run' --no-backup >/dev/null
w "$exe" backup "$win_tool\\after.qbk" >/dev/null

listing() { # every entry the tool lists whose name starts with QbKill, one line each, sorted
  w "$exe" list --all --csv 2>"$tool/said" | tr -d '\r' | grep '^"\?QbKill' | sort || true
}
after=$(listing)
w "$exe" restore "$win_tool\\before.qbk" --no-backup >/dev/null
before=$(listing)
[ -n "$before" ] && [ "$before" != "$after" ] || { echo "FAIL: the two settings are not apart" >&2; exit 1; }

# How long a whole restore takes under Wine, so that kills land before, during and after its work.
started=$(date +%s%N)
w "$exe" restore "$win_tool\\after.qbk" --no-backup >/dev/null
took_ms=$((($(date +%s%N) - started) / 1000000))
[ "$(listing)" = "$after" ] || fail "a whole restore did not give the saved setting"
state=after
recovered=0
RANDOM=20261209
for round in $(seq 1 "$rounds"); do
  target=$([ "$state" = after ] && echo before || echo after)
  w "$exe" restore "$win_tool\\$target.qbk" --no-backup >/dev/null 2>&1 &
  sleep "$(awk -v ms=$((RANDOM % (took_ms * 5 / 4 + 1))) 'BEGIN { printf "%.3f", ms / 1000 }')"
  pkill -9 -f "$tool/$(basename "$cli")" >/dev/null 2>&1 || true
  wait || true
  now=$(listing)
  grep -q 'cut off' "$tool/said" && recovered=$((recovered + 1))
  if [ "$now" = "$before" ]; then
    state=before
  elif [ "$now" = "$after" ]; then
    state=after
  else
    fail "round $round: neither the old nor the saved setting: $(diff <(echo "$before") <(echo "$now") | head -5)"
    break
  fi
  if [ -n "$(find "$startup_unix" -name '~qb*')" ]; then
    fail "round $round: a staged file is left in the Startup folder"
  fi
done
echo "killed restores under Wine: $rounds rounds, $recovered found a cut-off restore (a restore takes $took_ms ms)"
[ "$failures" = 0 ]
