#!/usr/bin/env bash
# Fails when the program imports a function missing from the checked-in list of imports, or one the list says is
# missing on the oldest systems the build is for. Usage: check-imports.sh OBJDUMP PROGRAM LIST OLDEST-9X OLDEST-NT
# (OLDEST-9X "-" for a build that is not for Windows 9x). The list's lines: dll, function, the first Windows 9x
# and the first Windows NT exporting it ("-" for none), and a note; "#" begins a comment.
set -uo pipefail
objdump=$1 program=$2 list=$3 oldest9x=$4 oldestNt=$5

imports=$("$objdump" -p "$program" | awk '
  /DLL Name:/ { dll = tolower($3); next }
  /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ && dll != "" { print dll, $3 }
  /^$/ { if (seen) dll = "" }' | sort -u)
[ -n "$imports" ] || { echo "check-imports: no imports read from $program"; exit 1; }

# Ranks of the systems in the order they came out, so that "the first" can be compared.
rank9x() { case $1 in 95) echo 1 ;; 98) echo 2 ;; ME) echo 3 ;; *) echo 99 ;; esac; }
rankNt() { case $1 in 3.1) echo 1 ;; 3.5) echo 2 ;; 3.51) echo 3 ;; 4.0) echo 4 ;; 2000) echo 5 ;; XP) echo 6 ;; *) echo 99 ;; esac; }

status=0 count=0
while read -r dll function; do
  count=$((count + 1))
  entry=$(awk -v d="$dll" -v f="$function" '!/^#/ && tolower($1) == d && $2 == f { print $3, $4; exit }' "$list")
  if [ -z "$entry" ]; then
    echo "check-imports: $dll $function is not in $list"; status=1; continue
  fi
  read -r first9x firstNt <<<"$entry"
  if [ "$oldest9x" != "-" ] && [ "$(rank9x "$first9x")" -gt "$(rank9x "$oldest9x")" ]; then
    echo "check-imports: $dll $function first came with Windows $first9x, after $oldest9x"; status=1
  fi
  if [ "$(rankNt "$firstNt")" -gt "$(rankNt "$oldestNt")" ]; then
    echo "check-imports: $dll $function first came with Windows NT $firstNt, after $oldestNt"; status=1
  fi
done <<<"$imports"
[ $status -eq 0 ] && echo "check-imports: all $count imports of $(basename "$program") are listed and in Windows $oldest9x and NT $oldestNt"
exit $status
