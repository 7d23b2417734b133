#!/bin/sh
# Checks the Windows package that scripts/package made, as a script author gets it:
#   - SHA256SUMS holds the zip's sum, and the sum is right;
#   - the zip holds exactly tovaro.dll, x64/tovaro.dll, readme.txt, readme-en.txt,
#     LICENSE.txt and CHANGELOG.txt;
#   - each text is its source file as UTF-8 with a byte order mark and CR LF line
#     ends, which Windows Notepad opens with the Japanese intact;
#   - each DLL is stripped, has a link time stamp of 0 and names its debug file,
#     carries a version resource that equals VERSION, exports exactly the four
#     functions, imports only system DLLs and no function newer than the oldest
#     Windows that README names (check_binary.sh, which says which one that is).
#   - the 32-bit tovaro.dll, the one script authors install, weighs 200 KiB or less.
# Usage: check_package.sh SOURCE_DIR DIST_DIR VERSION
set -u
source_dir=$(cd "$1" && pwd)
dist=$(cd "$2" && pwd)
version=$3
name=tovaro-$version-windows.zip
status=0

fail() {
  echo "FAIL: $*"
  status=1
}

[ -f "$dist/$name" ] || { echo "FAIL: $dist/$name is missing"; exit 1; }
if [ "$(awk '{ print $2 }' "$dist/SHA256SUMS" 2>/dev/null)" != "$name" ]; then
  fail "SHA256SUMS does not list exactly $name"
fi
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "a sum in SHA256SUMS is wrong"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$dist/$name") || { echo "FAIL: $name can't be read"; exit 1; }
contents=$(cd "$work" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
expected="CHANGELOG.txt LICENSE.txt readme-en.txt readme.txt tovaro.dll x64/tovaro.dll "
[ "$contents" = "$expected" ] || fail "the zip holds: $contents"

# check_text FILE SOURCE
check_text() {
  file=$work/$1
  [ -f "$file" ] || return
  [ "$(head -c 3 "$file" | od -An -tx1 | tr -d ' \n')" = efbbbf ] ||
    fail "$1 does not start with a UTF-8 byte order mark"
  lines=$(tr -cd '\n' <"$file" | wc -c)
  crlf=$(grep -c "$(printf '\r')\$" "$file")
  [ "$lines" -gt 0 ] && [ "$lines" -eq "$crlf" ] ||
    fail "$1: $crlf of $lines lines end in CR LF"
  tail -c +4 "$file" | tr -d '\r' | cmp -s - "$source_dir/$2" ||
    fail "$1 is not the text of $2"
}
check_text readme.txt README.ja.md
check_text readme-en.txt README.md
check_text LICENSE.txt LICENSE
check_text CHANGELOG.txt CHANGELOG.md

# check_dll FILE KIND TRIPLE
check_dll() {
  dll=$work/$1
  [ -f "$dll" ] || return
  echo "$1: $(wc -c <"$dll") bytes"
  out=$(sh "$source_dir/tests/module/check_binary.sh" "$2" "$3-objdump" "$dll") ||
    fail "$1: $out"
  echo "$out" | sed -n "s|^oldest Windows|$1: oldest Windows|p"
  headers=$("$3-objdump" -h "$dll")
  echo "$headers" | grep -q ' \.debug_' && fail "$1 is not stripped"
  echo "$headers" | grep -q ' \.gnu_debuglink ' || fail "$1 does not name its debug file"
  "$3-objdump" -p "$dll" | grep -q '^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970' ||
    fail "$1 has a link time stamp"
  resource=$("$3-windres" -i "$dll" -O rc) || { fail "$1: no resources"; return; }
  numbers=$(echo "$version" | sed 's/\./, /g')
  for line in "FILEVERSION $numbers, 0" "PRODUCTVERSION $numbers, 0" \
              "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
              'VALUE "ProductName", "tovaro"' 'VALUE "OriginalFilename", "tovaro.dll"'; do
    echo "$resource" | grep -qF "$line" || fail "$1: the version resource lacks $line"
  done
}
check_dll tovaro.dll windows i686-w64-mingw32
check_dll x64/tovaro.dll windows64 x86_64-w64-mingw32
size=$(wc -c <"$work/tovaro.dll" 2>/dev/null || echo 0)
if [ "$size" -gt 204800 ]; then
  fail "the 32-bit tovaro.dll is $((size - 204800)) bytes over 200 KiB"
fi

[ "$status" -eq 0 ] && echo "package check passed: $name"
exit $status
