#!/usr/bin/env bash
# What Windows and the user learn about our programs without running the window: the version resource
# (Explorer's Details tab), the manifest (elevation, DPI awareness, common controls), and --version of the
# command line under Wine. All say the CMake project's version.
#   program_identity.sh WINDRES VERSION WINE_RUN PREFIX CLI_EXE [GUI_EXE]
set -euo pipefail
windres=$1 version=$2 wine_run=$3 prefix=$4 cli=$5 gui=${6:-}
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
IFS=. read -r major minor patch <<<"$version"
numbers="$major, ${minor:-0}, ${patch:-0}, 0"

check() { # EXE DESCRIPTION LEVEL
  local exe=$1 description=$2 level=$3 rc name
  name=$(basename "$exe")
  rc=$("$windres" -i "$exe" -O rc) || { fail "$name has no resources"; return; }
  local expected
  expected=$(printf '%s\n' \
    " FILEVERSION $numbers" " PRODUCTVERSION $numbers" \
    "      VALUE \"CompanyName\", \"Quillbrook\"" \
    "      VALUE \"FileDescription\", \"$description\"" \
    "      VALUE \"FileVersion\", \"$version\"" \
    "      VALUE \"InternalName\", \"$name\"" \
    "      VALUE \"LegalCopyright\", \"GNU General Public License, version 3 or later\"" \
    "      VALUE \"OriginalFilename\", \"$name\"" \
    "      VALUE \"ProductName\", \"Quillbrook\"" \
    "      VALUE \"ProductVersion\", \"$version\"")
  local shown
  shown=$(grep -E '^ (FILEVERSION|PRODUCTVERSION) |^      VALUE "' <<<"$rc")
  [ "$shown" = "$expected" ] || fail "$name's version resource:"$'\n'"$shown"$'\n'"expected:"$'\n'"$expected"
  # The manifest, as windres prints it: one quoted string per line.
  local manifest
  manifest=$(sed -n '/RT_MANIFEST/,/^END/p' <<<"$rc" | sed -n 's/^  "\(.*\)\\n"$/\1/p' | sed 's/""/"/g')
  grep -Fq "<requestedExecutionLevel level=\"$level\" uiAccess=\"false\"/>" <<<"$manifest" ||
    fail "$name does not ask for execution level $level"
  grep -Fq '<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>' \
    <<<"$manifest" || fail "$name has no UTF-8 code page"
  grep -Fq 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<<"$manifest" ||
    fail "$name does not ask for common controls 6"
}

check "$cli" "Quillbrook command line" asInvoker
out=$("$wine_run" "$prefix" "$cli" --version | tr -d '\r')
[ "$out" = "quillbrook-cli $version" ] || fail "quillbrook-cli --version printed: $out"
if [ -n "$gui" ]; then
  check "$gui" "Quillbrook" highestAvailable
  manifest=$("$windres" -i "$gui" -O rc | sed -n '/RT_MANIFEST/,/^END/p' | sed 's/""/"/g')
  grep -Fq '>PerMonitorV2, PerMonitor</dpiAwareness>' <<<"$manifest" || fail "quillbrook.exe is not per-monitor DPI aware"
  grep -Fq '>true/pm</dpiAware>' <<<"$manifest" || fail "quillbrook.exe has no dpiAware for older systems"
fi
[ "$failures" -eq 0 ] || exit 1
echo "version $version in the resources and --version; the manifests as intended"
