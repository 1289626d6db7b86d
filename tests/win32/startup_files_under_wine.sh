#!/usr/bin/env bash
# quillbrook-cli.exe under Wine lists every file Windows opens from the user's startup folder, as the
# sandbox lists the same files: a shortcut the Windows shell saved (by its target), a script and a program
# (by their own path), an Internet shortcut (by its address), a shortcut cut short (by its own path,
# invalid), and not the folder's hidden system desktop.ini nor another hidden system file.
#   startup_files_under_wine.sh WINE_RUN PREFIX CLI_EXE SHELL_LINK
# SHELL_LINK is a shortcut to C:\windows\notepad.exe made by the Windows shell (tests/data/lnk/plain.lnk).
source "$(dirname "${BASH_SOURCE[0]}")/wine_script.sh"
wine_run=$1 prefix=$2 cli=$3 link=$4

tool=$(mktemp -d)
startup_unix=""
made=()
cleanup() {
  for file in "${made[@]}"; do
    rm -f "$file"
  done
  w reg delete 'HKCU\Software\Quillbrook' /f >/dev/null 2>&1 || true
  rm -rf "$tool"
}
trap finish EXIT
install_program "$cli" "$tool"

find_user_startup
put() { # put NAME BYTES
  printf '%b' "$2" >"$startup_unix/$1"
  made+=("$startup_unix/$1")
}
cp "$link" "$startup_unix/Qb Cross Link.lnk"
made+=("$startup_unix/Qb Cross Link.lnk")
put 'qb boot.bat' '@echo off\r\n'
put 'qb updater.exe' 'MZ'
put 'Qb Site.url' '[InternetShortcut]\r\nURL=https://example.com/qb\r\n'
put 'qb broken.lnk' 'L\0\0\0not a link'
put 'qb protected.bat' '@echo off\r\n'
# Wine's attrib sets one attribute per call.
for attribute in +h +s; do
  w cmd /c attrib "$attribute" "$startup\\qb protected.bat" >/dev/null
done
if [ ! -e "$startup_unix/desktop.ini" ]; then
  put desktop.ini '[.ShellClassInfo]\r\n'
fi

json=$(w "$tool/$(basename "$cli")" list --json | tr -d '\r') || { echo "FAIL: list --json failed" >&2; exit 1; }
escape() { # as JSON writes a string
  local s=${1//\\/\\\\}
  printf '%s' "${s//\"/\\\"}"
}
expect_entry() { # NAME COMMAND PATH_VALID
  local block
  block=$(printf '    "name": "%s",\n    "command": "%s",\n    "location": "Current User\\\\Startup Menu",\n    "state": "Enabled",\n    "rating": "Unknown",\n    "pathValid": %s,' \
    "$(escape "$1")" "$(escape "$2")" "$3")
  [[ "$json" == *"$block"* ]] || fail "list --json has no entry $1 | $2 | valid $3"
}
expect_entry 'Qb Cross Link' 'C:\windows\notepad.exe' true
expect_entry 'qb boot.bat' "$startup\\qb boot.bat" true
expect_entry 'qb updater.exe' "$startup\\qb updater.exe" true
expect_entry 'Qb Site' 'https://example.com/qb' true
expect_entry 'qb broken' "$startup\\qb broken.lnk" false
for hidden in 'qb protected.bat' desktop.ini; do
  [[ "$json" != *"\"name\": \"$hidden\""* ]] || fail "a protected system file is listed: $hidden"
done
# The unreadable shortcut moves aside as a file and comes back, byte for byte.
before=$(od -An -tx1 "$startup_unix/qb broken.lnk")
w "$tool/$(basename "$cli")" disable --name 'qb broken' --location 'Current User\Startup Menu' --no-backup >/dev/null ||
  fail "disable of the unreadable shortcut failed"
[ ! -e "$startup_unix/qb broken.lnk" ] || fail "the unreadable shortcut stayed in the startup folder"
w "$tool/$(basename "$cli")" enable --name 'qb broken' --location 'Current User\Startup Menu' --no-backup >/dev/null ||
  fail "enable of the unreadable shortcut failed"
[ "$(od -An -tx1 "$startup_unix/qb broken.lnk" 2>/dev/null)" = "$before" ] ||
  fail "the unreadable shortcut did not come back byte for byte"
[ "$failures" -eq 0 ] || { echo "$json" >&2; exit 1; }
echo "startup folder files listed as the sandbox lists them"
