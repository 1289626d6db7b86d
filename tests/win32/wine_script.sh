# Sourced by the test scripts that drive Windows programs under Wine: how they stop and how they end.
#   source wine_script.sh; define cleanup; trap finish EXIT
set -euo pipefail
# A command that fails stops the script; say which, or the test fails without a word.
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND (exit $?)" >&2' ERR

# Tidying up at the end (the script's own `cleanup`) never changes the verdict: what fails there is passed
# over.
finish() {
  local status=$?
  set +e
  cleanup
  exit "$status"
}

# The script's WINE_RUN and PREFIX arguments (set by the script as wine_run and prefix) run a program.
w() { "$wine_run" "$prefix" "$@"; }

# A failed check is counted and said; the script goes on and fails at its end.
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cv='Software\Microsoft\Windows\CurrentVersion'
# A sandbox root would be refused on Windows; none is wanted here.
unset QUILLBROOK_SYSTEM_ROOT

# Puts the program into a folder of its own with the database files it reads beside it (empty: no entry is
# known), as the tool's folder holds them, and names it in $exe.
install_program() { # install_program PROGRAM FOLDER
  cp "$1" "$2/"
  exe="$2/$(basename "$1")"
  for table in st sn fn sp; do : >"$2/$table.dat"; done
}

# The user's startup folder as the system names it: its Windows path in $startup and its host path,
# made if missing, in $startup_unix.
find_user_startup() {
  startup=$(w reg query "HKCU\\$cv\\Explorer\\Shell Folders" /v Startup | tr -d '\r' |
    sed -n 's/^ *Startup *REG_SZ *//Ip')
  [ -n "$startup" ] || { echo "FAIL: no Startup folder in Shell Folders" >&2; exit 1; }
  startup_unix=$(w winepath -u "$startup" | tr -d '\r')
  mkdir -p "$startup_unix"
}
