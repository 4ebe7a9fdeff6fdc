# Shared by the scripts that drive tolvanis on the virtual desktop (sourced).

# Polls a condition for up to $1 tenths of a second.
waitfor() {
  local tries=$1
  shift
  for _ in $(seq 1 "$tries"); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}
# The visible windows named (by regular expression) $1. Windows come and go
# while xdotool walks the tree, which it reports on stderr.
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null; }
