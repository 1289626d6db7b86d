#!/usr/bin/env bash
# Every change quillbrook-cli.exe makes, under Wine, checked with Wine's own `reg query` and the startup
# folder: disable, enable, add, delete, backup and restore, and the marks of what changed behind the tool's
# back, with compare and accept; entries of the 32-bit registry view put there
# with `reg add ... /reg:32`; and entries switched off the way Windows 8 and later switch entries off (a
# REG_BINARY value under Explorer\StartupApproved: Run, Run32 and StartupFolder), enabled in place, left
# alone by a disable, and backed up and restored as disabled. Wine itself ignores those switches at logon;
# what is checked here is what the tool reads and writes.
#   cli_changes_under_wine.sh WINE_RUN PREFIX CLI_EXE
source "$(dirname "${BASH_SOURCE[0]}")/wine_script.sh"
wine_run=$1 prefix=$2 cli=$3

approved="HKCU\\$cv\\Explorer\\StartupApproved\\Run"
approved32="HKLM\\$cv\\Explorer\\StartupApproved\\Run32" # the 32-bit view's switches, kept in the native one
approved_folder="HKCU\\$cv\\Explorer\\StartupApproved\\StartupFolder"
tool=$(mktemp -d)
startup_unix=""
cleanup() {
  for key in "HKCU\\$cv\\Run" "HKCU\\$cv\\RunDisabled" "HKLM\\$cv\\Run" "HKLM\\$cv\\RunDisabled" \
    "HKLM\\$cv\\RunOnce" "HKLM\\$cv\\RunOnceDisabled" "$approved"; do
    for view in /reg:64 /reg:32; do
      for name in QbChgA QbChg32 QbChgOff QbChgNew QbChgBack QbChgExp; do
        w reg delete "$key" /v "$name" /f "$view" >/dev/null 2>&1 || true
      done
    done
  done
  w reg delete "$approved32" /v QbChg32 /f >/dev/null 2>&1 || true
  w reg delete "$approved_folder" /v QbChgLink.lnk /f >/dev/null 2>&1 || true
  w reg delete 'HKCU\Software\Quillbrook' /f >/dev/null 2>&1 || true
  w reg delete "$app_defaults" /f >/dev/null 2>&1 || true
  [ -z "$startup_unix" ] || rm -f "$startup_unix/QbChgLink.lnk"
  rm -rf "$tool"
}
app_defaults="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$cli")"
trap finish EXIT
# Wine's prefix says Windows 7, which has no switches of its own; the program is told it runs on
# Windows 10 (for it alone, and only while this runs).
w reg add "$app_defaults" /v Version /d win10 /f >/dev/null
install_program "$cli" "$tool"

cli() { # runs the CLI; its output is kept in $out
  out=$(w "$exe" "$@" 2>&1 | tr -d '\r') || {
    fail "quillbrook-cli $*: $out"
    return 0
  }
}
has() { # has KEY NAME [VIEW]: the value is there, as reg query sees it
  w reg query "$1" /v "$2" ${3:-/reg:64} >/dev/null 2>&1
}
data() { # data KEY NAME [VIEW]: the type and data reg query shows
  w reg query "$1" /v "$2" ${3:-/reg:64} 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *\(REG_[A-Z_]*\) *\(.*\)$/\1 \2/p"
}
expect_there() { has "$@" || fail "reg query finds no $2 in $1 ${3:-}"; }
expect_gone() { ! has "$@" || fail "reg query still finds $2 in $1 ${3:-}"; }

w reg add "HKCU\\$cv\\Run" /v QbChgA /d 'C:\windows\notepad.exe /a' /f >/dev/null
w reg add "HKLM\\$cv\\Run" /v QbChg32 /d 'C:\windows\notepad.exe /32' /reg:32 /f >/dev/null
w reg add "HKCU\\$cv\\Run" /v QbChgOff /d 'C:\windows\notepad.exe /off' /f >/dev/null
w reg add "$approved" /v QbChgOff /t REG_BINARY /d 030000000000000000000000 /f >/dev/null
# What /reg:32 wrote is where 64-bit Windows keeps the 32-bit view.
expect_there "HKLM\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run" QbChg32
expect_gone "HKLM\\$cv\\Run" QbChg32

entry() { # the JSON object of the entry named $1 at $2, on one line
  tr -d '\n' <<<"$json" | grep -o "{[^}]*\"name\": \"$1\"[^}]*\"location\": \"$(sed 's/\\/\\\\\\\\/g' <<<"$2")\"[^}]*}" || true
}
json=$(w "$exe" list --json | tr -d '\r')
lm32='All Users\Registry\Run (32-bit)'
cu='Current User\Registry\Run'
[[ "$(entry QbChg32 "$lm32")" == *'"state": "Enabled"'* ]] || fail "QbChg32 is not listed enabled in $lm32"
[[ "$(entry QbChg32 'All Users\Registry\Run')" == "" ]] || fail "QbChg32 is listed in the native view"
[[ "$(entry QbChgOff "$cu")" == *'"state": "Disabled"'*'"approved": false'* ]] ||
  fail "QbChgOff, switched off, is not listed disabled and not approved: $(entry QbChgOff "$cu")"
[[ "$(entry QbChgA "$cu")" == *'"state": "Enabled"'*'"approved": true'* ]] || fail "QbChgA is not listed enabled"

# Disable and enable move the value between the run key and its twin.
cli disable --name QbChgA --location "$cu" --no-backup
expect_gone "HKCU\\$cv\\Run" QbChgA
[ "$(data "HKCU\\$cv\\RunDisabled" QbChgA)" = 'REG_SZ C:\windows\notepad.exe /a' ] || fail "QbChgA is not in RunDisabled"
cli enable --name QbChgA --location "$cu" --no-backup
expect_gone "HKCU\\$cv\\RunDisabled" QbChgA
[ "$(data "HKCU\\$cv\\Run" QbChgA)" = 'REG_SZ C:\windows\notepad.exe /a' ] || fail "QbChgA is not back in Run"

# A value keeps its type through the moves: an expandable one without a reference stays expandable.
w reg add "HKCU\\$cv\\Run" /v QbChgExp /t REG_EXPAND_SZ /d 'C:\windows\notepad.exe /exp' /f >/dev/null
cli disable --name QbChgExp --location "$cu" --no-backup
[ "$(data "HKCU\\$cv\\RunDisabled" QbChgExp)" = 'REG_EXPAND_SZ C:\windows\notepad.exe /exp' ] ||
  fail "QbChgExp is not expandable in RunDisabled: $(data "HKCU\\$cv\\RunDisabled" QbChgExp)"
cli enable --name QbChgExp --location "$cu" --no-backup
[ "$(data "HKCU\\$cv\\Run" QbChgExp)" = 'REG_EXPAND_SZ C:\windows\notepad.exe /exp' ] ||
  fail "QbChgExp is not expandable back in Run: $(data "HKCU\\$cv\\Run" QbChgExp)"
w reg delete "HKCU\\$cv\\Run" /v QbChgExp /f >/dev/null

# In the 32-bit view the twin is the 32-bit view's too.
cli disable --name QbChg32 --location "$lm32" --no-backup
expect_gone "HKLM\\$cv\\Run" QbChg32 /reg:32
expect_there "HKLM\\$cv\\RunDisabled" QbChg32 /reg:32
expect_gone "HKLM\\$cv\\RunDisabled" QbChg32 /reg:64

# Enabling an entry Windows switched off switches it on where it is.
cli enable --name QbChgOff --location "$cu" --no-backup
[ "$(data "$approved" QbChgOff)" = 'REG_BINARY 020000000000000000000000' ] ||
  fail "the switch of QbChgOff is not on: $(data "$approved" QbChgOff)"
expect_there "HKCU\\$cv\\Run" QbChgOff
expect_gone "HKCU\\$cv\\RunDisabled" QbChgOff

# Add: a value in the 32-bit RunOnce, a shortcut in the user's startup folder.
cli add --name QbChgNew --command 'C:\windows\notepad.exe /new' --location 'All Users\Registry\RunOnce (32-bit)' --no-backup
[ "$(data "HKLM\\$cv\\RunOnce" QbChgNew /reg:32)" = 'REG_SZ C:\windows\notepad.exe /new' ] ||
  fail "QbChgNew is not in the 32-bit RunOnce"
expect_gone "HKLM\\$cv\\RunOnce" QbChgNew /reg:64
startup=$(w reg query "HKCU\\$cv\\Explorer\\Shell Folders" /v Startup | tr -d '\r' | sed -n 's/^ *Startup *REG_SZ *//Ip')
startup_unix=$(w winepath -u "$startup" | tr -d '\r')
mkdir -p "$startup_unix"
cli add --name QbChgLink --command 'C:\windows\notepad.exe' --location 'Current User\Startup Menu' --no-backup
[ -f "$startup_unix/QbChgLink.lnk" ] || fail "add made no shortcut in the startup folder"

# Backup, then delete (which takes Windows' switch of the name along), then restore.
backup_windows=$(w winepath -w "$tool/changes.qbk" | tr -d '\r')
cli backup "$backup_windows"
w reg add "$approved" /v QbChgA /t REG_BINARY /d 030000000000000000000000 /f >/dev/null
cli delete --name QbChgA --location "$cu" --no-backup
expect_gone "HKCU\\$cv\\Run" QbChgA
expect_gone "$approved" QbChgA
cli delete --name QbChg32 --location "$lm32" --no-backup
expect_gone "HKLM\\$cv\\RunDisabled" QbChg32 /reg:32
cli delete --name QbChgNew --location 'All Users\Registry\RunOnce (32-bit)' --no-backup
expect_gone "HKLM\\$cv\\RunOnce" QbChgNew /reg:32
cli delete --name QbChgLink --location 'Current User\Startup Menu' --no-backup
[ ! -e "$startup_unix/QbChgLink.lnk" ] || fail "delete left the shortcut in the startup folder"

cli restore "$backup_windows" --no-backup
[ "$(data "HKCU\\$cv\\Run" QbChgA)" = 'REG_SZ C:\windows\notepad.exe /a' ] || fail "restore did not bring QbChgA back"
expect_there "HKLM\\$cv\\RunDisabled" QbChg32 /reg:32
expect_there "HKLM\\$cv\\RunOnce" QbChgNew /reg:32
[ -f "$startup_unix/QbChgLink.lnk" ] || fail "restore did not bring the shortcut back"

# Behind the tool's back: a program adds itself, another puts its value back after the user disabled it.
cli disable --name QbChgA --location "$cu" --no-backup
w reg add "HKCU\\$cv\\Run" /v QbChgBack /d 'C:\windows\notepad.exe /back' /f >/dev/null
w reg add "HKCU\\$cv\\Run" /v QbChgA /d 'C:\windows\notepad.exe /a' /f >/dev/null
json=$(w "$exe" list --json | tr -d '\r')
[[ "$(entry QbChgBack "$cu")" == *'"change": "new"'* ]] || fail "QbChgBack is not marked new: $(entry QbChgBack "$cu")"
[[ "$(entry QbChgA "$cu")" == *'"state": "Enabled"'*'"change": "returned"'* ]] ||
  fail "QbChgA is not marked returned: $(entry QbChgA "$cu")"
expect_there "HKCU\\$cv\\RunDisabled" QbChgA # a list only reads: the leftover copy waits for a tidying load
[ -f "$tool/backup/Accepted Setting.qbk" ] || fail "no accepted setting beside the backups"
compared=$(w "$exe" compare "$backup_windows" | tr -d '\r') && status=0 || status=$?
expected_compare='Added:   QbChgBack (Current User\Registry\Run): "C:\windows\notepad.exe /back", Enabled
1 added, 0 removed, 0 changed.'
[ "$status" = 3 ] && [ "$compared" = "$expected_compare" ] || fail "compare said ($status): $compared"
cli accept
expect_gone "HKCU\\$cv\\RunDisabled" QbChgA # the same command came back: the copy was a leftover
json=$(w "$exe" list --json | tr -d '\r')
[[ "$json" != *'"change": "'* ]] || fail "accept left marks: $json"

# Enabling in the 32-bit view moves the value within that view.
cli enable --name QbChg32 --location "$lm32" --no-backup
expect_there "HKLM\\$cv\\Run" QbChg32 /reg:32
expect_gone "HKLM\\$cv\\RunDisabled" QbChg32 /reg:32
expect_gone "HKLM\\$cv\\Run" QbChg32 /reg:64

# Switches of the 32-bit view and of the startup folder: listed off, switched on in place.
off=030000000000000000000000
w reg add "$approved32" /v QbChg32 /t REG_BINARY /d $off /f >/dev/null
w reg add "$approved_folder" /v QbChgLink.lnk /t REG_BINARY /d $off /f >/dev/null
json=$(w "$exe" list --json | tr -d '\r')
[[ "$(entry QbChg32 "$lm32")" == *'"state": "Disabled"'*'"approved": false'* ]] ||
  fail "QbChg32, switched off in Run32, is not listed disabled: $(entry QbChg32 "$lm32")"
[[ "$(entry QbChgLink 'Current User\Startup Menu')" == *'"state": "Disabled"'*'"approved": false'* ]] ||
  fail "QbChgLink, switched off in StartupFolder, is not listed disabled"
cli enable --name QbChg32 --location "$lm32" --no-backup
[ "$(data "$approved32" QbChg32)" = 'REG_BINARY 020000000000000000000000' ] ||
  fail "the Run32 switch of QbChg32 is not on: $(data "$approved32" QbChg32)"
expect_there "HKLM\\$cv\\Run" QbChg32 /reg:32

# Disabling moves the entry the tool's own way and leaves an "on" switch as it is.
cli disable --name QbChgOff --location "$cu" --no-backup
expect_there "HKCU\\$cv\\RunDisabled" QbChgOff
[ "$(data "$approved" QbChgOff)" = 'REG_BINARY 020000000000000000000000' ] ||
  fail "disable changed the switch of QbChgOff: $(data "$approved" QbChgOff)"

# A backup keeps an entry switched off by Windows as disabled; the restore gives it disabled.
backup_off=$(w winepath -w "$tool/switched.qbk" | tr -d '\r')
cli backup "$backup_off"
cli enable --name QbChgLink --location 'Current User\Startup Menu' --no-backup
[ "$(data "$approved_folder" QbChgLink.lnk)" = 'REG_BINARY 020000000000000000000000' ] ||
  fail "the StartupFolder switch of QbChgLink is not on: $(data "$approved_folder" QbChgLink.lnk)"
cli restore "$backup_off" --no-backup
[ ! -e "$startup_unix/QbChgLink.lnk" ] && [ -f "$tool/ShortCutCurrUser/QbChgLink.lnk" ] ||
  fail "restore did not give QbChgLink back disabled (moved aside)"

if [ "$failures" -ne 0 ]; then
  echo "--- list --json ---" >&2
  w "$exe" list --json --all >&2 || true
  exit 1
fi
echo "quillbrook-cli.exe under Wine: every change agrees with reg query and the startup folder"
