#!/usr/bin/env bash
# The Windows installer as a user meets it, under Wine: a silent install (/S), the installed programs run
# (quillbrook-cli.exe list against the shipped program database, quillbrook.exe --screenshot), the user
# makes a backup and disables a startup shortcut (kept in the tool's folder), then a silent uninstall:
# the programs, the Start-menu shortcut and the Uninstall key are gone, the user's backup and disabled
# shortcut stay.
#   installer_under_wine.sh WINE_RUN PREFIX SETUP_EXE VERSION SHELL_LINK
source "$(dirname "${BASH_SOURCE[0]}")/wine_script.sh"
wine_run=$1 prefix=$2 setup=$3 version=$4 link=$5

uninstall_key="HKLM\\$cv\\Uninstall\\Quillbrook"
dir_windows='C:\Program Files\Quillbrook'
dir=$(w winepath -u "$dir_windows" | tr -d '\r')
dir=${dir%/}
startup=$(w reg query "HKCU\\$cv\\Explorer\\Shell Folders" /v Startup | tr -d '\r' |
  sed -n 's/^ *Startup *REG_SZ *//Ip')
startup_unix=$(w winepath -u "$startup" | tr -d '\r')
programs=$(w reg query "HKLM\\$cv\\Explorer\\Shell Folders" /v 'Common Programs' | tr -d '\r' |
  sed -n 's/^ *Common Programs *REG_SZ *//Ip')
programs_unix=$(w winepath -u "$programs" | tr -d '\r')
shot=$(mktemp -d)

cleanup() {
  w reg delete "HKCU\\$cv\\Run" /v QbInstalled /f >/dev/null 2>&1 || true
  w reg delete "HKCU\\$cv\\Run" /v SecurityHealth /f >/dev/null 2>&1 || true
  w reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
  w reg delete 'HKCU\Software\Quillbrook' /f >/dev/null 2>&1 || true
  rm -f "$startup_unix/Qb Installed Link.lnk"
  rm -rf "$dir" "$shot"
}
trap finish EXIT
cleanup
mkdir -p "$shot" "$startup_unix"

# --- install ---
w "$setup" /S || fail "the installer ended with status $?"
for f in quillbrook.exe quillbrook-cli.exe uninstall.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
  platforms/qwindows.dll styles/qwindowsvistastyle.dll libstdc++-6.dll st.dat sn.dat fn.dat sp.dat \
  infotpl.dat mess.htm LICENSE.txt; do
  [ -f "$dir/$f" ] || fail "not installed: $f"
done
[ -f "$programs_unix/Quillbrook.lnk" ] || fail "no Start-menu shortcut in $programs_unix"
shown_version=$(w reg query "$uninstall_key" /v DisplayVersion | tr -d '\r' | sed -n 's/^ *DisplayVersion *REG_SZ *//p')
[ "$shown_version" = "$version" ] || fail "the Uninstall key says version '$shown_version', not $version"
uninstall_string=$(w reg query "$uninstall_key" /v UninstallString | tr -d '\r' |
  sed -n 's/^ *UninstallString *REG_SZ *//p')
[ "$uninstall_string" = "\"$dir_windows\\uninstall.exe\"" ] || fail "UninstallString is $uninstall_string"

# --- the installed programs ---
[ "$(w "$dir/quillbrook-cli.exe" --version | tr -d '\r')" = "quillbrook-cli $version" ] ||
  fail "quillbrook-cli.exe --version does not say $version"
w reg add "HKCU\\$cv\\Run" /v SecurityHealth /d 'C:\windows\system32\SecurityHealthSystray.exe' /f >/dev/null
w reg add "HKCU\\$cv\\Run" /v QbInstalled /d 'C:\windows\notepad.exe /installed' /f >/dev/null
cp "$link" "$startup_unix/Qb Installed Link.lnk"
json=$(w "$dir/quillbrook-cli.exe" list --json | tr -d '\r') || fail "quillbrook-cli.exe list failed"
# Rated from the installed program database: SecurityHealth is a Required entry there, QbInstalled is in
# none of its files.
expect_entry() { # NAME COMMAND LOCATION STATE RATING
  local block s1=${2//\\/\\\\} s2=${3//\\/\\\\}
  block=$(printf '    "name": "%s",\n    "command": "%s",\n    "location": "%s",\n    "state": "%s",\n    "rating": "%s",' \
    "$1" "$s1" "$s2" "$4" "$5")
  [[ "$json" == *"$block"* ]] || fail "list --json has no entry $1 | $2 | $3 | $4 | $5: $json"
}
expect_entry SecurityHealth 'C:\windows\system32\SecurityHealthSystray.exe' 'Current User\Registry\Run' Enabled Required
expect_entry QbInstalled 'C:\windows\notepad.exe /installed' 'Current User\Registry\Run' Enabled Unknown
QT_QPA_PLATFORM=offscreen w "$dir/quillbrook.exe" --screenshot "$(w winepath -w "$shot/window.png" | tr -d '\r')" ||
  fail "quillbrook.exe --screenshot failed"
if [ -f "$shot/window.png" ]; then
  # A PNG of the main window's size: the signature, then the IHDR width and height.
  header=$(od -An -tx1 -N24 "$shot/window.png" | tr -d ' \n')
  [ "${header:0:16}" = 89504e470d0a1a0a ] || fail "the picture is no PNG"
  [ $((16#${header:32:8})) -ge 600 ] && [ $((16#${header:40:8})) -ge 400 ] ||
    fail "the picture is $((16#${header:32:8})) x $((16#${header:40:8}))"
else
  fail "quillbrook.exe --screenshot wrote no picture"
fi

# --- what the user keeps: a backup and a disabled startup shortcut, both in the tool's folder ---
w "$dir/quillbrook-cli.exe" backup "$dir_windows\\backup\\mine.qbk" >/dev/null || fail "backup failed"
w "$dir/quillbrook-cli.exe" disable --no-backup --name 'Qb Installed Link' --location 'Current User\Startup Menu' \
  >/dev/null || fail "disable failed"
[ -f "$dir/backup/mine.qbk" ] || fail "no backup file"
[ -f "$dir/ShortCutCurrUser/Qb Installed Link.lnk" ] || fail "the disabled shortcut is not in the tool's folder"

# --- uninstall ---
# The uninstaller copies itself away and returns at once: wait until it has finished (it deletes itself
# last).
w "$dir/uninstall.exe" /S || fail "the uninstaller ended with status $?"
for attempt in $(seq 1 120); do
  [ -e "$dir/uninstall.exe" ] || break
  sleep 0.5
done
for f in quillbrook.exe quillbrook-cli.exe uninstall.exe Qt6Core.dll platforms styles st.dat mess.htm LICENSE.txt; do
  [ ! -e "$dir/$f" ] || fail "left behind: $f"
done
[ ! -e "$programs_unix/Quillbrook.lnk" ] || fail "the Start-menu shortcut is still there"
if w reg query "$uninstall_key" >/dev/null 2>&1; then
  fail "the Uninstall key is still there"
fi
[ -f "$dir/backup/mine.qbk" ] || fail "the uninstaller deleted the user's backup"
[ -f "$dir/ShortCutCurrUser/Qb Installed Link.lnk" ] || fail "the uninstaller deleted the disabled shortcut"
# Everything left is the user's: the disabled shortcut, the backup, and the startup setting last accepted.
left=$(cd "$dir" && find . -type f | sort | tr '\n' ' ')
[ "$left" = "./ShortCutCurrUser/Qb Installed Link.lnk ./backup/Accepted Setting.qbk ./backup/mine.qbk " ] ||
  fail "left in the folder: $left"

if [ "$failures" -ne 0 ]; then
  exit 1
fi
echo "Quillbrook $version installs, runs and uninstalls under Wine; the user's files stay"
