#!/usr/bin/env bash
# What Wine starts from the Startup folders when a session begins, file by file: scripts, programs,
# shortcuts, Internet shortcuts and documents, and the files a lister might think Windows passes over
# (desktop.ini, hidden and system files, subfolders, names without an extension, a shortcut to nothing,
# "~" and ".tmp" names, empty files, an extension nothing opens). Each file leaves a marker file under
# C:\markers when it is started; wineboot's warnings tell a file it failed to start from one it never
# tried. The outcome of every case is printed as a table and compared with what Wine 8.0 does.
#   startup_folder_run_under_wine.sh WINE_RUN PREFIX [CC]
# PREFIX (the build's shared prefix) is left alone: the session is ended and begun again here, so the
# cases live in a fresh prefix of their own in a temporary folder. CC is the MinGW C compiler for the two
# small helper programs (x86_64-w64-mingw32-gcc by default).
#
# Wine runs the Startup folder in wineboot without --init and without --restart only (`wine wineboot`,
# also -u and -e). The session start Wine makes by itself runs `wineboot --init`, which does not run it.
# Wine enumerates only the user's folder (CSIDL_STARTUP), with SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN,
# and hands each item to ShellExecute. Its shell has no "super hidden" class: hidden and system files,
# desktop.ini included, are started like any other. Windows' Explorer behaves otherwise for some of
# these; what Windows does is not checked here.
source "$(dirname "${BASH_SOURCE[0]}")/wine_script.sh"
wine_run=$1 shared_prefix=$2 cc=${3:-x86_64-w64-mingw32-gcc}
: "$shared_prefix" # named for the usual argument order only

work=$(mktemp -d)
prefix="$work/prefix"
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap finish EXIT

# --- the helper programs ---
# marker.exe leaves C:\markers\NAME.txt, NAME being the file name of its first argument (a document or URL
# opened with it) or else its own file name. mklink.exe LINK TARGET saves a shortcut with the shell.
cat >"$work/marker.c" <<'EOF'
#include <windows.h>
#include <stdio.h>
#include <string.h>
static const char *base(const char *p) {
    const char *b = p;
    for (; *p; p++) if (*p == '\\' || *p == '/' || *p == ':') b = p + 1;
    return b;
}
int main(int argc, char **argv) {
    char self[MAX_PATH], name[MAX_PATH], path[MAX_PATH + 32];
    GetModuleFileNameA(NULL, self, MAX_PATH);
    snprintf(name, sizeof name, "%s", base(argc > 1 ? argv[1] : self));
    for (char *c = name; *c; c++) if (strchr("\"<>|?*", *c)) *c = '_';
    CreateDirectoryA("C:\\markers", NULL);
    snprintf(path, sizeof path, "C:\\markers\\%s.txt", name);
    FILE *f = fopen(path, "w");
    if (!f) return 1;
    fprintf(f, "%s\n", GetCommandLineA());
    fclose(f);
    return 0;
}
EOF
cat >"$work/mklink.c" <<'EOF'
#define COBJMACROS
#include <windows.h>
#include <shlobj.h>
int wmain(int argc, wchar_t **argv) {
    IShellLinkW *link; IPersistFile *file;
    if (argc != 3) return 2;
    CoInitialize(NULL);
    if (FAILED(CoCreateInstance(&CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, &IID_IShellLinkW, (void **)&link)))
        return 3;
    IShellLinkW_SetPath(link, argv[2]);
    IShellLinkW_SetDescription(link, L"startup folder case");
    if (FAILED(IShellLinkW_QueryInterface(link, &IID_IPersistFile, (void **)&file))) return 4;
    return FAILED(IPersistFile_Save(file, argv[1], TRUE)) ? 5 : 0;
}
EOF
"$cc" -O1 -s -o "$work/marker.exe" "$work/marker.c"
"$cc" -O1 -s -municode -o "$work/mklink.exe" "$work/mklink.c" -lole32 -luuid

# --- the prefix and its folders ---
w cmd /c exit # wine-run makes the prefix
shell_folder() { # shell_folder HIVE NAME: the folder's Windows path from Explorer's Shell Folders
  w reg query "$1\\$cv\\Explorer\\Shell Folders" /v "$2" | tr -d '\r' | sed -n "s/^ *$2 *REG_SZ *//Ip"
}
user_w=$(shell_folder HKCU Startup)
common_w=$(shell_folder HKLM 'Common Startup')
if [ -z "$user_w" ] || [ -z "$common_w" ]; then
  echo "FAIL: no Startup folders in Shell Folders" >&2
  exit 1
fi
user=$(w winepath -u "$user_w" | tr -d '\r')
common=$(w winepath -u "$common_w" | tr -d '\r')
markers=$(w winepath -u 'C:\markers' | tr -d '\r')
markers=${markers%/}
mkdir -p "$user" "$common" "$markers/src"
cp "$work/marker.exe" "$markers/src/marker.exe"

# Opening with marker.exe: a document type of our own (also given to .tmp, which has none), .ini (so a
# desktop.ini that is opened says so instead of starting Notepad), and a URL scheme for the .url case.
# Wine's ShellExecute reads HKLM\Software\Classes only: the same keys under HKCU are not seen.
classes='HKLM\Software\Classes'
opener='"C:\markers\src\marker.exe" "%1"'
w reg add "$classes\\.qbdoc" /ve /d QbStartupDoc /f >/dev/null
w reg add "$classes\\.tmp" /ve /d QbStartupDoc /f >/dev/null
w reg add "$classes\\QbStartupDoc\\shell\\open\\command" /ve /d "$opener" /f >/dev/null
w reg add "$classes\\inifile\\shell\\open\\command" /ve /d "$opener" /f >/dev/null
w reg add "$classes\\qbmark" /ve /d 'URL:qbmark' /f >/dev/null
w reg add "$classes\\qbmark" /v 'URL Protocol' /d '' /f >/dev/null
w reg add "$classes\\qbmark\\shell\\open\\command" /ve /d "$opener" /f >/dev/null

# --- the cases: each marker is named after the file in the Startup folder, plus .txt ---
bat() { printf '@echo off\r\necho started> C:\\markers\\%s.txt\r\n' "$1"; }
bat plain.bat >"$user/plain.bat"
bat plain.cmd >"$user/plain.cmd"
cp "$work/marker.exe" "$user/plain.exe"
printf 'Set f = CreateObject("Scripting.FileSystemObject").CreateTextFile("C:\\markers\\plain.vbs.txt", True)\r\nf.WriteLine "started"\r\nf.Close\r\n' >"$user/plain.vbs"
printf '[InternetShortcut]\r\nURL=qbmark:plain.url\r\n' >"$user/plain.url"
echo document >"$user/document.qbdoc"
bat link.lnk >"$markers/src/link_target.bat"
w "$work/mklink.exe" "$user_w\\link.lnk" 'C:\markers\src\link_target.bat'
w "$work/mklink.exe" "$user_w\\missing_target.lnk" 'C:\markers\src\not_there.bat'
bat readonly.bat >"$user/readonly.bat"
printf '[.ShellClassInfo]\r\nLocalizedResourceName=Startup\r\n' >"$user/desktop.ini"
bat hidden.bat >"$user/hidden.bat"
bat system.bat >"$user/system.bat"
bat hidden_system.bat >"$user/hidden_system.bat"
mkdir -p "$user/sub"
bat inner.bat >"$user/sub/inner.bat"
cp "$work/marker.exe" "$user/noext_program"
echo "just text" >"$user/noext_text"
bat '~tilde.bat' >"$user/~tilde.bat"
echo temporary >"$user/case.tmp"
: >"$user/zero.qbdoc"
: >"$user/zero.bat"
echo data >"$user/noassoc.qbzz"
bat common.bat >"$common/common.bat"

# Attributes with Wine's attrib, one flag a call: Wine 8.0's `attrib +h +s FILE` sets only S.
set_attributes() { # set_attributes FILE FLAG...
  local file=$1 flag
  shift
  for flag in "$@"; do w cmd /c attrib "$flag" "$user_w\\$file" >/dev/null; done
}
has_attributes() { # has_attributes FILE LETTERS: attrib shows each letter
  local shown i
  shown=$(w cmd /c attrib "$user_w\\$1" | tr -d '\r' | sed 's/ *[A-Za-z]:\\.*//')
  for ((i = 0; i < ${#2}; i++)); do
    [[ "$shown" == *"${2:i:1}"* ]] || { fail "attrib shows '$shown' for $1, not $2"; return 0; }
  done
}
set_attributes readonly.bat +r
set_attributes hidden.bat +h
set_attributes system.bat +s
set_attributes hidden_system.bat +h +s
has_attributes readonly.bat R
has_attributes hidden.bat H
has_attributes system.bat S
has_attributes hidden_system.bat HS

# name|folder|what it is|Wine 8.0's outcome: started (the marker appeared), failed (wineboot tried and
# ShellExecute refused, marker impossible or absent), not tried (neither).
cases=(
  'plain.bat|user|batch file|started'
  'plain.cmd|user|command script|started'
  'plain.exe|user|program|started'
  'plain.vbs|user|VBScript (wscript)|started'
  'plain.url|user|Internet shortcut|started'
  'document.qbdoc|user|document, extension with an opener|started'
  'link.lnk|user|shell link to a .bat|started'
  'readonly.bat|user|read-only (+r) batch file|started'
  'desktop.ini|user|desktop.ini, no attributes|started'
  'hidden.bat|user|hidden (+h)|started'
  'system.bat|user|system (+s)|started'
  'hidden_system.bat|user|hidden and system (+h +s)|started'
  'inner.bat|user\sub|in a subfolder|not tried'
  'noext_program|user|no extension, a program inside|started'
  'noext_text|user|no extension, text inside|failed'
  'missing_target.lnk|user|shell link, target missing|failed'
  '~tilde.bat|user|name starting with ~|started'
  'case.tmp|user|.tmp name (with an opener)|started'
  'zero.qbdoc|user|zero bytes, extension with an opener|started'
  'zero.bat|user|zero-byte batch file|failed'
  'noassoc.qbzz|user|extension nothing opens|failed'
  'common.bat|common|all users folder, batch file|not tried'
)

end_session() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 || true
  rm -f "$markers"/*.txt
}
marker_count() { find "$markers" -maxdepth 1 -name '*.txt' | wc -l; }

# wineboot, run as wine-run runs programs but with its warnings on: they name what it failed to start.
log="$work/wineboot.log"
wineboot_logged() {
  (
    export WINEPREFIX="$prefix" WINEDEBUG=warn+wineboot WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY WAYLAND_DISPLAY
    wine wineboot >"$log" 2>&1
  ) || true
}

printf '%-38s %-32s %-10s %-10s %s\n' CASE FILE EXPECTED WINE ''
row() { # row CASE FILE EXPECTED GOT
  local mark=''
  [ "$3" = "$4" ] || { mark='<-- MISMATCH'; fail "$1 ($2): expected $3, got $4"; }
  printf '%-38s %-32s %-10s %-10s %s\n' "$1" "$2" "$3" "$4" "$mark"
}

# A session begun by Wine itself (wineboot --init) and `wineboot -r` start nothing from the folder. Said,
# not checked: on a machine under load the prefix's own first start has been seen to open the folder once.
note() { # note CASE FILE EXPECTED GOT
  printf '%-38s %-32s %-10s %-10s %s\n' "$1" "$2" "$3" "$4" "$([ "$3" = "$4" ] || echo '(not checked)')"
}
end_session
w cmd /c exit
sleep 5
note 'session start by Wine itself' '(whole folder)' 'nothing' "$([ "$(marker_count)" = 0 ] && echo nothing || echo "$(marker_count) ran")"
w wineboot -r >/dev/null 2>&1 || true
sleep 5
note 'wineboot -r' '(whole folder)' 'nothing' "$([ "$(marker_count)" = 0 ] && echo nothing || echo "$(marker_count) ran")"
rm -f "$markers"/*.txt

outcome() { # outcome NAME: started, failed or not tried, from the markers and wineboot's warnings
  if [ -e "$markers/$1.txt" ]; then
    echo started
  elif grep -q "Error .* executing command .*\\\\$1\"" "$log"; then
    echo failed
  else
    echo 'not tried'
  fi
}
run_folder() { # run_folder LABEL: a plain wineboot, then the table of every case
  local entry name folder what expected started=0 waited=0
  end_session
  wineboot_logged
  for entry in "${cases[@]}"; do
    [[ "$entry" == *'|started' ]] && started=$((started + 1))
  done
  # What wineboot started runs on by itself: wait for the markers, then a moment for any stray one.
  while [ "$(marker_count)" -lt "$started" ] && [ "$waited" -lt 60 ]; do
    sleep 1
    waited=$((waited + 1))
  done
  sleep 3
  for entry in "${cases[@]}"; do
    IFS='|' read -r name folder what expected <<<"$entry"
    row "$what" "$folder: $name" "$expected" "$(outcome "$name")"
  done
}

echo "--- wineboot, desktop.ini without attributes ---"
run_folder
echo "--- wineboot, desktop.ini marked hidden and system ---"
set_attributes desktop.ini +h +s
has_attributes desktop.ini HS
cases=("${cases[@]/desktop.ini, no attributes/desktop.ini, hidden and system}")
run_folder

if [ "$failures" -ne 0 ]; then
  echo "--- wineboot's warnings ---" >&2
  grep -i 'wineboot' "$log" >&2 || true
  exit 1
fi
echo "The Startup folder under Wine: every case as expected"
