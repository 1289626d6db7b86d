#!/usr/bin/env bash
# The Windows installer as a user meets it, under Wine: a silent install (/S); what Add/Remove Programs
# shows; the icon, the size and what is shipped; the installed programs run (quillbrook-cli.exe list
# against the shipped program database, quillbrook.exe --screenshot); an install and an uninstall while
# the tool runs change nothing and say so; the user makes a backup and disables a startup
# shortcut (kept in the tool's folder), then a silent uninstall: the programs, the Start-menu shortcut
# and the Uninstall key are gone, the user's backup and disabled shortcut stay.
#   installer_under_wine.sh WINE_RUN PREFIX SETUP_EXE VERSION SHELL_LINK OBJDUMP CHILD_EXE
source "$(dirname "${BASH_SOURCE[0]}")/wine_script.sh"
here=$(dirname "${BASH_SOURCE[0]}")
wine_run=$1 prefix=$2 setup=$3 version=$4 link=$5 objdump=$6 child=$7

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

# A long list for quillbrook-cli.exe to print: run values QbLong000 ... QbLong399, made (with "=") or
# removed (with "=-") by one reg import.
long_list_reg() { # long_list_reg '"notepad.exe"' or '-'
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\%s\\Run]\r\n' "$cv"
  for i in $(seq -w 0 399); do printf '"QbLong%s"=%s\r\n' "$i" "$1"; done
}
lister=""

cleanup() {
  if [ -n "$lister" ]; then kill "$lister" 2>/dev/null || true; fi
  long_list_reg - >"$shot/long-off.reg" && w reg import "$(w winepath -w "$shot/long-off.reg" | tr -d '\r')" >/dev/null 2>&1 || true
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

# --- what Add/Remove Programs shows, and what the installation is ---
uninstall_value() { w reg query "$uninstall_key" /v "$1" | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
[ "$(uninstall_value DisplayIcon)" = "$dir_windows\\quillbrook.exe" ] ||
  fail "DisplayIcon is '$(uninstall_value DisplayIcon)', not the installed quillbrook.exe"
[ "$(uninstall_value Publisher)" = "The Quillbrook project" ] ||
  fail "Publisher is '$(uninstall_value Publisher)'"
# The programs, the installer and the uninstaller in the tool's icon.
bash "$here/program_icon.sh" "$dir/quillbrook.exe" "$dir/quillbrook-cli.exe" "$dir/uninstall.exe" "$setup" >/dev/null ||
  fail "a program, the installer or the uninstaller lacks the tool's icon"
# Nothing shipped carries debugging sections, and the offscreen platform, which only the tests use, stays
# at home.
while IFS= read -r -d '' binary; do
  if "$objdump" -h "$binary" | grep -q ' \.debug_'; then
    fail "${binary#"$dir/"} carries debugging sections"
  fi
done < <(find "$dir" -type f \( -name '*.dll' -o -name '*.exe' \) -print0)
[ ! -e "$dir/platforms/qoffscreen.dll" ] || fail "the offscreen platform plugin is installed"
# Add/Remove Programs shows the size the installer records: what the files hold, give or take the
# uninstaller and the folders. (On disk, du -sk, it depends on the file system's blocks and compression.)
installed_kb=$(du -sk "$dir" | cut -f1)
apparent_kb=$(du -sk --apparent-size "$dir" | cut -f1)
recorded_kb=$(($(uninstall_value EstimatedSize)))
echo "installed: $installed_kb KB on disk (du -sk), $apparent_kb KB in the files, recorded as EstimatedSize" \
  "$recorded_kb KB; $(basename "$setup"): $(($(stat -c %s "$setup") / 1024)) KB"
[ "$recorded_kb" -le "$apparent_kb" ] && [ $((recorded_kb * 11 / 10)) -ge "$apparent_kb" ] ||
  fail "EstimatedSize says $recorded_kb KB, the installed files hold $apparent_kb KB"

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
# With Qt's windows platform, as on a user's machine (the package ships no other), on Wine's null display
# driver.
w "$dir/quillbrook.exe" --screenshot "$(w winepath -w "$shot/window.png" | tr -d '\r')" ||
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

# --- an install and an uninstall while the tool runs ---
# Each refused install or uninstall ends with status 3 and leaves every installed file byte for byte. The
# files get a mark that any install would overwrite (LICENSE.txt, which no program reads).
printf 'Marked by the test\r\n' >>"$dir/LICENSE.txt"
installed_sums() { (cd "$dir" && find . -path ./backup -prune -o -type f -print0 | sort -z | xargs -0 md5sum); }
before=$(installed_sums)
refused_while() { # refused_while WHAT: a silent install and a silent uninstall now end with 3, changing nothing
  local status=0
  w "$setup" /S || status=$?
  [ "$status" -eq 3 ] || fail "a silent install while $1 ended with status $status, not 3"
  [ "$(installed_sums)" = "$before" ] || fail "a silent install while $1 changed the installed files"
  # The uninstaller runs in place with _?= (otherwise it hands over to a copy of itself and returns 0 at
  # once); Wine would quote a path with blanks as one argument, which _?= does not take.
  status=0
  w "$dir/uninstall.exe" /S '_?=C:\Program' 'Files\Quillbrook' || status=$?
  [ "$status" -eq 3 ] || fail "a silent uninstall while $1 ended with status $status, not 3"
  [ "$(installed_sums)" = "$before" ] || fail "a silent uninstall while $1 changed the installed files"
}

# quillbrook-cli.exe prints a long list into a pipe that is read only after the installers have run, as
# it would to a pager the user has not scrolled yet: its first line says it runs, then it waits. It is a
# copy in a folder of its own, so that only its mutex, not a file of the installation in use, can tell the
# installers (a copy from the portable zip counts as much as the installed one).
long_list_reg '"C:\\windows\\notepad.exe /long"' >"$shot/long-on.reg"
w reg import "$(w winepath -w "$shot/long-on.reg" | tr -d '\r')" >/dev/null 2>&1 || fail "reg import of the long list failed"
mkdir "$shot/elsewhere"
cp "$dir/quillbrook-cli.exe" "$dir"/*.dat "$shot/elsewhere/"
mkfifo "$shot/list"
"$wine_run" "$prefix" "$shot/elsewhere/quillbrook-cli.exe" list --all --json >"$shot/list" &
lister=$!
exec 3<"$shot/list"
IFS= read -r first_line <&3 || true
[ "${first_line%$'\r'}" = "[" ] || fail "quillbrook-cli.exe list began with '$first_line'"
refused_while "quillbrook-cli.exe runs"
listed=$(cat <&3 | grep -c '"name": "QbLong') || true
exec 3<&-
wait "$lister" || fail "quillbrook-cli.exe list failed"
lister=""
[ "$listed" -eq 400 ] || fail "quillbrook-cli.exe listed $listed of the 400 long-list entries"
long_list_reg - >"$shot/long-off.reg"
w reg import "$(w winepath -w "$shot/long-off.reg" | tr -d '\r')" >/dev/null 2>&1 || fail "reg import removing the long list failed"

# Starts a program under Wine and waits (up to TENTHS tenths of a second) until it has mapped a file whose
# path holds MAPPED, checks that the installer and the uninstaller refuse while it runs, then ends it.
refused_while_running() { # refused_while_running WHAT MAPPED TENTHS PROGRAM [ARGUMENTS...]
  local what=$1 mapped=$2 tenths=$3
  shift 3
  "$wine_run" "$prefix" "$@" >/dev/null 2>&1 &
  lister=$!
  for attempt in $(seq 1 "$tenths"); do
    grep -q "$mapped" "/proc/$lister/maps" 2>/dev/null && break
    sleep 0.1
  done
  refused_while "$what"
  kill "$lister" 2>/dev/null || true
  wait "$lister" 2>/dev/null || true
  lister=""
}

# The window is open, on Wine's null display driver: as soon as Qt's windows platform is loaded (after the
# mark, the first thing the program makes), it runs.
refused_while_running "quillbrook.exe is open" platforms/qwindows.dll 300 "$dir/quillbrook.exe"

# A program of the installation runs that holds no mutex, as a copy of the tool too old to hold one
# would: the test's child program in the place of quillbrook.exe. Windows keeps a running program's file
# from being written.
cp "$child" "$dir/quillbrook.exe"
before=$(installed_sums)
refused_while_running "a program of the installation runs" Quillbrook/quillbrook.exe 100 "$dir/quillbrook.exe" \
  --ignore-close

# Once nothing runs, the same install goes through and puts the files back as shipped.
w "$setup" /S || fail "the install once nothing ran ended with status $?"
! grep -q 'Marked by the test' "$dir/LICENSE.txt" || fail "the install once nothing ran kept the old LICENSE.txt"
if cmp -s "$child" "$dir/quillbrook.exe"; then fail "the install once nothing ran kept the old quillbrook.exe"; fi

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
