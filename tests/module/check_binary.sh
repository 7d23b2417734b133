#!/bin/sh
# Checks the built module as a host sees it:
#   windows:   a 32-bit PE DLL exporting exactly load, loadu, request and unload,
#              and importing only system DLLs (the C++ run-time is linked in).
#   windows64: the same as a 64-bit PE32+ DLL for x86-64.
#   posix:     a shared object whose dynamic symbol table defines exactly the four
#              functions.
# Usage: check_binary.sh windows|windows64|posix OBJDUMP|NM MODULE
set -u
kind=$1
tool=$2
module=$3
expected="load
loadu
request
unload"
status=0

fail() {
  echo "FAIL: $*"
  status=1
}

case $kind in
windows|windows64)
  if [ "$kind" = windows ]; then
    format=pei-i386 magic='010b[[:space:]]+\(PE32\)'
  else
    format=pei-x86-64 magic='020b[[:space:]]+\(PE32\+\)'
  fi
  dump=$("$tool" -p "$module") || { echo "FAIL: $tool could not read $module"; exit 1; }
  echo "$dump" | grep -q "file format $format" || fail "not a $format file"
  echo "$dump" | grep -Eq "Magic[[:space:]]+$magic" || fail "wrong optional header magic"
  # The names of the export name table, one a line.
  exports=$(echo "$dump" | awk '
    /^\[Ordinal\/Name Pointer\] Table/ { inTable = 1; next }
    inTable && /^[[:space:]]*$/ { inTable = 0 }
    inTable { print $NF }' | sort)
  [ "$exports" = "$expected" ] || fail "exports are: $(echo $exports)"
  imports=$(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for dll in $imports; do
    case $dll in
    kernel32.dll|ws2_32.dll|msvcrt.dll|user32.dll|advapi32.dll|ntdll.dll|api-ms-win-*) ;;
    *) fail "imports $dll" ;;
    esac
  done
  echo "exports: $(echo $exports)"
  echo "imports: $(echo $imports)"
  ;;
posix)
  symbols=$("$tool" -D --defined-only "$module") || { echo "FAIL: $tool could not read $module"; exit 1; }
  names=$(echo "$symbols" | awk '{ print $NF }' | sort)
  [ "$names" = "$expected" ] || fail "defined dynamic symbols are: $(echo $names)"
  functions=$(echo "$symbols" | awk '$(NF-1) == "T" { print $NF }' | sort)
  [ "$functions" = "$expected" ] || fail "not all four are functions: $(echo "$symbols")"
  echo "exports: $(echo $names)"
  ;;
*)
  echo "usage: check_binary.sh windows|windows64|posix TOOL MODULE"
  exit 2
  ;;
esac
exit $status
