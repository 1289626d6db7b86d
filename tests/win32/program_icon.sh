#!/usr/bin/env bash
# The icon Windows shows for our programs (Explorer, the Start menu, the taskbar, Add/Remove Programs): the
# first icon group of each program holds the tool's icon in every size Windows asks for. Read with wrestool
# and icotool (Debian's icoutils), programs we did not write.
#   program_icon.sh EXE...
set -euo pipefail
for tool in wrestool icotool; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (install icoutils)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

for exe in "$@"; do
  name=$(basename "$exe")
  groups=$(wrestool -l --type=group_icon "$exe" | wc -l)
  if [ "$groups" -ne 1 ]; then
    fail "$name has $groups icon groups, not one"
    continue
  fi
  wrestool -x --type=group_icon -o "$work/$name.ico" "$exe"
  # icotool warns about the resolution fields ImageMagick fills in, which Windows ignores.
  sizes=$(icotool -l "$work/$name.ico" 2>/dev/null | sed -n 's/.*--width=\([0-9]*\) --height=\([0-9]*\) --bit-depth=32 .*/\1x\2/p' |
    tr '\n' ' ')
  [ "$sizes" = "256x256 64x64 48x48 32x32 24x24 16x16 " ] ||
    fail "$name's icon has the sizes '$sizes', not 256, 64, 48, 32, 24 and 16 pixels in full colour"
done
[ "$failures" -eq 0 ] || exit 1
echo "the tool's icon in six sizes: $*"
