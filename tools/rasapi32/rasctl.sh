#!/bin/sh
# Writes the control file of the simulated remote-access service: rasctl.sh DIR up|down|state N|count N
set -eu

usage() {
  echo "usage: $0 DIR up|down|state connected|disconnected|N|count N" >&2
  exit 2
}

[ $# -ge 2 ] || usage
dir=$1
file="$dir/ras.txt"
[ -d "$dir" ] || { echo "$0: no such folder: $dir" >&2; exit 1; }

# Current values, so that "state" keeps the count and "count" keeps the state; without a file, one connection.
connections=1
state=connected
if [ -f "$file" ]; then
  connections=$(sed -n 's/^connections=//p' "$file" | tail -n 1)
  state=$(sed -n 's/^state=//p' "$file" | tail -n 1)
  : "${connections:=1}" "${state:=connected}"
fi

case $2 in
  up) connections=1 state=connected ;;
  down) rm -f "$file"; exit 0 ;;
  state)
    [ $# -eq 3 ] || usage
    state=$3 ;;
  count)
    [ $# -eq 3 ] || usage
    case $3 in *[!0-9]*|'') usage ;; esac
    connections=$3 ;;
  *) usage ;;
esac

# Written beside and renamed, so the service never reads a half-written file.
printf 'connections=%s\nstate=%s\n' "$connections" "$state" > "$file.tmp"
mv -f "$file.tmp" "$file"
