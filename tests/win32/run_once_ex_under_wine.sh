#!/usr/bin/env bash
# The commands of RunOnceEx's sections as quillbrook-cli.exe sees and changes them under Wine, checked with
# Wine's own `reg query`: a section with a title and two commands, the key's own Title and Depend list, and
# a disabled section. Listed by section, disabled into the twin's section of the same name with the title,
# enabled back, deleted (the section with it once only its title is left), backed up and restored.
#   run_once_ex_under_wine.sh WINE_RUN PREFIX CLI_EXE
source "$(dirname "${BASH_SOURCE[0]}")/wine_script.sh"
wine_run=$1 prefix=$2 cli=$3

ex="HKCU\\$cv\\RunOnceEx"
twin="HKCU\\$cv\\RunOnceExDisabled"
loc='Current User\Registry\RunOnce Ex'
tool=$(mktemp -d)
cleanup() {
  w reg delete "$ex" /f >/dev/null 2>&1 || true
  w reg delete "$twin" /f >/dev/null 2>&1 || true
  w reg delete 'HKCU\Software\Quillbrook' /f >/dev/null 2>&1 || true
  rm -rf "$tool"
}
trap finish EXIT
cleanup
mkdir -p "$tool"
install_program "$cli" "$tool"

cli() { # runs the CLI; its output is kept in $out
  out=$(w "$exe" "$@" 2>&1 | tr -d '\r') || {
    fail "quillbrook-cli $*: $out"
    return 0
  }
}
# Everything reg query shows under a key, one "key|name|type|data" line a value, the key's path after
# HKEY_CURRENT_USER\...\CurrentVersion\.
tree() {
  w reg query "$1" /s 2>/dev/null | tr -d '\r' | awk '
    /^HKEY_/ { key = $0; sub(/^HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\/, "", key); next }
    /^    / { line = $0; sub(/^    /, "", line); n = split(line, f, /    /); print key "|" f[1] "|" f[2] "|" f[3] }' |
    LC_ALL=C sort
}
expect_tree() { # expect_tree KEY EXPECTED WHAT
  local got
  got=$(tree "$1")
  [ "$got" = "$2" ] || fail "$3: reg query shows
$got
instead of
$2"
}

w reg add "$ex" /v Title /d 'Finishing the setup' /f >/dev/null
w reg add "$ex\\Depend" /v 0001 /d 'C:\windows\system32\shell32.dll' /f >/dev/null
w reg add "$ex\\0001" /ve /d 'Fonts' /f >/dev/null
w reg add "$ex\\0001" /v Serif /d '||C:\windows\notepad.exe /serif' /f >/dev/null
w reg add "$ex\\0001" /v Sans /d 'C:\windows\system32\shell32.dll|Control_RunDLL|' /f >/dev/null
w reg add "$ex\\0002" /ve /d 'Drivers' /f >/dev/null
w reg add "$ex\\0002" /v Only /d 'C:\windows\notepad.exe /only' /f >/dev/null
w reg add "$twin\\0003" /ve /d 'Later' /f >/dev/null
w reg add "$twin\\0003" /v Off /d '||C:\windows\notepad.exe /off' /f >/dev/null
seeded_ex=$(tree "$ex")

# The sections' commands, in the order Windows runs them, enabled first; nothing of the titles, Title or
# Depend. The CSV's name, command, location and state columns.
listed=$(w "$exe" list --csv | tr -d '\r' | grep -F "$loc" | cut -d, -f1-4 || true)
expected_list="0001\\Sans,C:\\windows\\system32\\shell32.dll|Control_RunDLL|,$loc,Enabled
0001\\Serif,||C:\\windows\\notepad.exe /serif,$loc,Enabled
0002\\Only,C:\\windows\\notepad.exe /only,$loc,Enabled
0003\\Off,||C:\\windows\\notepad.exe /off,$loc,Disabled"
[ "$listed" = "$expected_list" ] || fail "list shows
$listed
instead of
$expected_list"

# Disable: the command moves into the twin's section of the same name, with the title; a section left with
# only its title goes.
cli disable --name '0001\Serif' --location "$loc" --no-backup
cli disable --name '0002\Only' --location "$loc" --no-backup
expect_tree "$ex" "RunOnceEx\\0001|(Default)|REG_SZ|Fonts
RunOnceEx\\0001|Sans|REG_SZ|C:\\windows\\system32\\shell32.dll|Control_RunDLL|
RunOnceEx\\Depend|0001|REG_SZ|C:\\windows\\system32\\shell32.dll
RunOnceEx|Title|REG_SZ|Finishing the setup" "after the disables, RunOnceEx"
expect_tree "$twin" "RunOnceExDisabled\\0001|(Default)|REG_SZ|Fonts
RunOnceExDisabled\\0001|Serif|REG_SZ|||C:\\windows\\notepad.exe /serif
RunOnceExDisabled\\0002|(Default)|REG_SZ|Drivers
RunOnceExDisabled\\0002|Only|REG_SZ|C:\\windows\\notepad.exe /only
RunOnceExDisabled\\0003|(Default)|REG_SZ|Later
RunOnceExDisabled\\0003|Off|REG_SZ|||C:\\windows\\notepad.exe /off" "after the disables, the twin"
w reg query "$ex\\0002" >/dev/null 2>&1 && fail "the section 0002 stayed with only its title"

# Enable: back where they were, titles and all; the twin keeps only what was disabled before.
cli enable --name '0001\Serif' --location "$loc" --no-backup
cli enable --name '0002\Only' --location "$loc" --no-backup
expect_tree "$ex" "$seeded_ex" "after the enables, RunOnceEx"
expect_tree "$twin" "RunOnceExDisabled\\0003|(Default)|REG_SZ|Later
RunOnceExDisabled\\0003|Off|REG_SZ|||C:\\windows\\notepad.exe /off" "after the enables, the twin"

# Backup, then delete: a command of two goes alone, the last one with its section.
backup_windows=$(w winepath -w "$tool/sections.qbk" | tr -d '\r')
cli backup "$backup_windows"
grep -q 'Program Name=0001\\Serif' "$tool/sections.qbk" || fail "the backup holds no 0001\\Serif"
cli delete --name '0001\Serif' --location "$loc" --no-backup
cli delete --name '0003\Off' --location "$loc" --no-backup
expect_tree "$ex" "$(grep -v 'Serif' <<<"$seeded_ex")" "after the delete, RunOnceEx"
w reg query "$twin\\0003" >/dev/null 2>&1 && fail "the twin's section 0003 stayed with only its title"

# Restore: both commands come back in their sections (a backup holds no titles: 0003 comes back without).
cli restore "$backup_windows" --no-backup
expect_tree "$ex" "$seeded_ex" "after the restore, RunOnceEx"
expect_tree "$twin" "RunOnceExDisabled\\0003|Off|REG_SZ|||C:\\windows\\notepad.exe /off" "after the restore, the twin"

if [ "$failures" -ne 0 ]; then
  echo "--- list --csv ---" >&2
  w "$exe" list --csv --all >&2 || true
  exit 1
fi
echo "quillbrook-cli.exe under Wine: RunOnceEx's sections are listed and changed as reg query shows"
