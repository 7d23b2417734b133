#!/bin/sh
# Checks the built module as a host sees it:
#   windows:   a 32-bit PE DLL exporting exactly load, loadu, request and unload,
#              importing only system DLLs (the C++ run-time is linked in), not the
#              UCRT, not msvcrt.dll's _lock or _unlock, and no function newer than
#              the oldest Windows it is said to load on.
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

# The oldest Windows the DLLs load on, as the readme says: Windows Vista. A DLL loads
# only where every function it imports exists, so the newest import sets it.
# Each function's version is the "Minimum supported client" of its page in
# Microsoft's Win32 reference. Listed are the imports that set the floor today
# (GetTickCount64, which winpthread's mutexes call; libstdc++'s exception
# allocator and the unwinder link them in; without it the floor would be XP), and
# newer functions that other versions of the run-time are known to call.
stated_floor=6.0 stated_name=Vista
floors='GetModuleHandleExW 5.1 XP
AddVectoredExceptionHandler 5.1 XP
GetTickCount64 6.0 Vista
InitializeCriticalSectionEx 6.0 Vista
TryAcquireSRWLockExclusive 6.1 7
QueryUnbiasedInterruptTime 6.1 7
GetSystemTimePreciseAsFileTime 6.2 8
WaitOnAddress 6.2 8
WakeByAddressSingle 6.2 8
WakeByAddressAll 6.2 8
SetThreadDescription 10.0 10'

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
    # The UCRT's thread start keeps the module loaded until its own thread ends.
    api-ms-win-crt-*) fail "imports $dll: the UCRT" ;;
    kernel32.dll|ws2_32.dll|msvcrt.dll|user32.dll|advapi32.dll|ntdll.dll|api-ms-win-*) ;;
    *) fail "imports $dll" ;;
    esac
  done
  # The imported functions' names, from the lines "address hint name".
  functions=$(echo "$dump" | awk '/^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print $3 }' | sort -u)
  # The run-time's numbered locks: lock 8 is the one exit() holds until the process
  # ends, so a DLL whose start or end takes them can deadlock its host.
  for name in _lock _unlock; do
    if echo "$functions" | grep -qx "$name"; then
      fail "imports msvcrt's $name, which exit() holds: the DLL's start or end would wait for the host"
    fi
  done
  floor=$(echo "$floors" | awk -v imported="$(echo $functions)" '
    BEGIN { n = split(imported, names, " "); for (i = 1; i <= n; i++) have[names[i]] = 1
            version = 5.0; name = "2000"; by = "nothing listed" }
    ($1 in have) && $2 + 0 >= version + 0 {
      by = (version == $2 && by != "nothing listed") ? by ", " $1 : $1
      version = $2; name = $3 }
    END { print version, name, by }')
  set -- $floor
  floor_version=$1 floor_name=$2
  shift 2
  echo "oldest Windows: $floor_name (set by $*)"
  if awk -v a="$floor_version" -v b="$stated_floor" 'BEGIN { exit !(a + 0 > b + 0) }'; then
    fail "imports $*, which needs Windows $floor_name: newer than $stated_name"
  fi
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
