#!/usr/bin/env bash
# quillbrook-cli.exe under Wine, against what Wine's own tools put where Windows starts programs: run
# keys filled by `reg add`, a shortcut saved by the Windows shell in the startup folder. What the CLI
# writes to the registry is read back with `reg query`.
#   cli_under_wine.sh WINE_RUN PREFIX CLI_EXE SHELL_LINK CHILD_EXE
# SHELL_LINK is a shortcut to C:\windows\notepad.exe made by the Windows shell (tests/data/lnk/plain.lnk);
# CHILD_EXE a program that runs until it is ended.
source "$(dirname "${BASH_SOURCE[0]}")/wine_script.sh"
wine_run=$1 prefix=$2 cli=$3 link=$4 child=$5

# The tool as installed: the program beside its database, in a folder of its own.
tool=$(mktemp -d)
startup_link=""
cleanup() {
  for key in "HKCU\\$cv\\Run" "HKCU\\$cv\\RunDisabled" "HKLM\\$cv\\Run"; do
    for name in SecurityHealth QbCrossExpand CleanupSetup QbCrossTwin QbCrossKept QbCrossRunning; do
      w reg delete "$key" /v "$name" /f >/dev/null 2>&1 || true
    done
  done
  w reg delete 'HKCU\Software\Quillbrook' /f >/dev/null 2>&1 || true
  [ -z "$startup_link" ] || rm -f "$startup_link"
  w taskkill /f /im "$(basename "$child")" >/dev/null 2>&1 || true
  rm -rf "$tool"
}
trap finish EXIT
cp "$cli" "$child" "$tool/"
exe="$tool/$(basename "$cli")"
# A program database of two entries beside the program, found through its own path: one known by its
# name in the main table, one in the table of startup names.
printf '[SecurityHealth]\r\nConfirmed=Y\r\nDescription=Security icon\r\n' >"$tool/st.dat"
printf '[CleanupSetup]\r\nConfirmed=N\r\nDescription=Cleanup at logon\r\n' >"$tool/sn.dat"
: >"$tool/fn.dat"
: >"$tool/sp.dat"

add() { # add KEY NAME TYPE DATA
  w reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null
}
add "HKLM\\$cv\\Run" SecurityHealth REG_SZ 'C:\windows\system32\SecurityHealthSystray.exe'
add "HKCU\\$cv\\Run" QbCrossExpand REG_EXPAND_SZ '%SystemRoot%\system32\notepad.exe /cross'
add "HKCU\\$cv\\RunDisabled" CleanupSetup REG_SZ 'C:\windows\system32\cleanmgr.exe /autoclean'
# In both the run key and its disabled twin with the same command: listed once, enabled; a list only reads,
# so the twin's copy stays until a load that may tidy. With another command both stay and both are listed.
add "HKCU\\$cv\\Run" QbCrossTwin REG_SZ 'C:\windows\notepad.exe'
add "HKCU\\$cv\\RunDisabled" QbCrossTwin REG_SZ 'C:\windows\notepad.exe'
add "HKCU\\$cv\\Run" QbCrossKept REG_SZ 'C:\windows\notepad.exe /new'
add "HKCU\\$cv\\RunDisabled" QbCrossKept REG_SZ 'C:\windows\notepad.exe /old'

find_user_startup
startup_link="$startup_unix/Qb Cross Link.lnk"
cp "$link" "$startup_link"

# A running program: the list shows its memory, read through Tool Help and PSAPI.
add "HKCU\\$cv\\Run" QbCrossRunning REG_SZ "\"$(w winepath -w "$tool/$(basename "$child")" | tr -d '\r')\" --ignore-close"
w "$tool/$(basename "$child")" --ignore-close >/dev/null 2>&1 &
running_memory() { grep -A7 '"name": "QbCrossRunning"' <<<"$json" | sed -n 's/.*"memoryKB": \([0-9-]*\).*/\1/p'; }
for attempt in $(seq 1 20); do
  json=$(w "$exe" list --json | tr -d '\r') || { echo "FAIL: list --json failed" >&2; exit 1; }
  [ "$(running_memory)" -gt 0 ] 2>/dev/null && break
  sleep 0.5
done
[ "$(running_memory)" -gt 0 ] 2>/dev/null || fail "the running program shows no memory"

escape() { # as JSON writes a string
  local s=${1//\\/\\\\}
  printf '%s' "${s//\"/\\\"}"
}
expect_entry() { # NAME COMMAND LOCATION STATE RATING
  local block
  block=$(printf '    "name": "%s",\n    "command": "%s",\n    "location": "%s",\n    "state": "%s",\n    "rating": "%s",' \
    "$(escape "$1")" "$(escape "$2")" "$(escape "$3")" "$4" "$5")
  [[ "$json" == *"$block"* ]] || fail "list --json has no entry $1 | $2 | $3 | $4 | $5"
}
expect_entry SecurityHealth 'C:\windows\system32\SecurityHealthSystray.exe' 'All Users\Registry\Run' Enabled Required
expect_entry QbCrossExpand '%SystemRoot%\system32\notepad.exe /cross' 'Current User\Registry\Run' Enabled Unknown
expect_entry CleanupSetup 'C:\windows\system32\cleanmgr.exe /autoclean' 'Current User\Registry\Run' Disabled 'Not Required'
expect_entry QbCrossTwin 'C:\windows\notepad.exe' 'Current User\Registry\Run' Enabled Unknown
expect_entry 'Qb Cross Link' 'C:\windows\notepad.exe' 'Current User\Startup Menu' Enabled Unknown
[ "$(grep -c '"name": "QbCrossTwin"' <<<"$json")" = 1 ] || fail "QbCrossTwin is listed more than once"
w reg query "HKCU\\$cv\\RunDisabled" /v QbCrossTwin >/dev/null 2>&1 ||
  fail "list removed the disabled copy of QbCrossTwin"
expect_entry QbCrossKept 'C:\windows\notepad.exe /new' 'Current User\Registry\Run' Enabled Unknown
expect_entry QbCrossKept 'C:\windows\notepad.exe /old' 'Current User\Registry\Run' Disabled Unknown
w reg query "HKCU\\$cv\\RunDisabled" /v QbCrossKept >/dev/null 2>&1 ||
  fail "the kept copy of QbCrossKept, another command, is gone"

# The accepted setting, a file of the tool's own among the user's backups, is hidden from file dialogs.
attributes=$(w cmd /c attrib "$(w winepath -w "$tool/backup/Accepted Setting.qbk" | tr -d '\r')" | tr -d '\r')
[[ "$attributes" =~ ^[^:]*H ]] || fail "the accepted setting is not hidden: $attributes"

# The backup command records its file in the backup index: a string and a DWORD, as reg query shows.
backup_windows=$(w winepath -w "$tool/cross.qbk" | tr -d '\r')
w "$exe" backup "$backup_windows" >/dev/null || fail "backup failed"
index=$(w reg query 'HKCU\Software\Quillbrook\BackupIndex' /s | tr -d '\r')
grep -Eq "^ +FilePath +REG_SZ +$(sed 's/[][\.*^$]/\\&/g' <<<"$backup_windows")\$" <<<"$index" ||
  fail "reg query shows no FilePath REG_SZ $backup_windows: $index"
grep -Eq '^ +Count +REG_DWORD +0x[0-9a-f]+$' <<<"$index" || fail "reg query shows no Count REG_DWORD: $index"
grep -q '^\[Item ' "$tool/cross.qbk" && grep -q 'SecurityHealth' "$tool/cross.qbk" ||
  fail "the backup file does not hold the entries"

# A device name is no backup file: Windows would "write" it to the device. Refused, and not recorded.
for device in 'C:\NUL' 'C:\CON.qbk'; do
  if w "$exe" backup "$device" >/dev/null 2>&1; then
    fail "backup to $device was accepted"
  fi
done
[ "$(w reg query 'HKCU\Software\Quillbrook\BackupIndex' /s | tr -d '\r')" = "$index" ] ||
  fail "a refused backup changed the backup index"

# A relative name is taken from the current folder (the profile functions alone would put it into
# C:\windows), and the backup says where it went.
said=$(cd "$tool" && w "$exe" backup rel2.qbk | tr -d '\r') || fail "backup rel2.qbk failed"
rel_windows=$(w winepath -w "$tool/rel2.qbk" | tr -d '\r')
[[ "$said" == "Backed up "*" entries to $rel_windows ("* ]] || fail "backup rel2.qbk said: $said"
[ -f "$tool/rel2.qbk" ] || fail "rel2.qbk is not in the current folder"
windows_copy=$(w winepath -u 'C:\windows\rel2.qbk' | tr -d '\r')
[ ! -e "$windows_copy" ] || { rm -f "$windows_copy"; fail "rel2.qbk went into C:\windows"; }
(cd "$tool" && w "$exe" compare rel2.qbk >/dev/null) || fail "compare rel2.qbk found no such backup, or differences"

# CSV lines end in exactly CR LF, not in the CR CR LF of a text-mode stream that adds its own CR.
w "$exe" list --csv >"$tool/list.csv" || fail "list --csv failed"
[ "$(grep -c $'\r\r' "$tool/list.csv")" = 0 ] || fail "list --csv has lines ending in CR CR LF"
[ "$(grep -c $'\r$' "$tool/list.csv")" = "$(wc -l <"$tool/list.csv")" ] || fail "list --csv has lines without CR LF"
[ "$(wc -l <"$tool/list.csv")" -gt 5 ] || fail "list --csv listed too little: $(cat "$tool/list.csv")"

# The help describes this build: no sandbox root seeded with a demo system on Windows.
help=$(w "$exe" --help | tr -d '\r')
[[ "$help" != *"demo system"* && "$help" == *"here it works on this computer"* ]] ||
  fail "--help describes --system-root as off Windows: $help"

# On Windows the CLI works on the computer itself; a sandbox root is refused.
if w "$exe" --system-root 'C:\sandbox' list >/dev/null 2>&1; then
  fail "--system-root was accepted on Windows"
fi

if [ "$failures" -ne 0 ]; then
  echo "--- list --json ---" >&2
  echo "$json" >&2
  exit 1
fi
echo "quillbrook-cli.exe under Wine: list and backup agree with reg and the shell"
