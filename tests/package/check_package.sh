#!/bin/sh
# Checks the packages that scripts/package made, as their users get them:
#   - SHA256SUMS holds the sums of the zip and the tarball, and they are right;
#   - the zip holds exactly tovaro.dll, x64/tovaro.dll, tools/saori-call.exe,
#     tools/talk-listener.exe, readme.txt, readme-en.txt, LICENSE.txt,
#     THIRD-PARTY-NOTICES.txt, CHANGELOG.txt and BUILDINFO.txt, which names
#     VERSION, the commit and the compilers;
#   - the change log has no [Unreleased] section, and one for VERSION;
#   - each text is its source file as UTF-8 with a byte order mark and CR LF line
#     ends, which Windows Notepad opens with the Japanese intact;
#   - the two readmes are for script authors, in plain text that reads well in
#     Notepad: nothing for developers (no apt-get), no Markdown tables, links,
#     bold or fences, no line of prose wider than 78 columns, Japanese never
#     broken between two kana, and readme.txt at least 60 % Japanese;
#   - each DLL is stripped, has a link time stamp of 0 and names its debug file,
#     carries a version resource that equals VERSION, exports exactly the four
#     functions, imports only system DLLs and no function newer than the oldest
#     Windows that the readme names (check_binary.sh, which says which one that is).
#   - the 32-bit tovaro.dll, the one script authors install, weighs 200 KiB or less;
#   - the two tools are 32-bit Windows programs, stripped, naming their debug files,
#     without a link time stamp, with the version resource, importing only system
#     DLLs; where 32-bit Wine runs (required when TOVARO_REQUIRE_WINE32 is yes) they
#     run: each prints its version, and the zip's saori-call.exe, tovaro.dll and
#     talk-listener.exe deliver a text as the readme's steps on Windows do;
#   - the Linux tarball holds one folder of its name with exactly tovaro.so,
#     saori-call, talk-listener, readme.en.md, readme.ja.md, README.md, LICENSE,
#     THIRD-PARTY-NOTICES, CHANGELOG.md and BUILDINFO; the texts are their sources; the three are x86-64 ELF files, stripped, each
#     naming its debug file; tovaro.so defines exactly the four functions in its
#     dynamic symbol table, with C linkage (check_binary.sh), and none of the three
#     needs a newer C or C++ library than the readme names.
# Usage: check_package.sh SOURCE_DIR DIST_DIR VERSION
set -u
source_dir=$(cd "$1" && pwd)
dist=$(cd "$2" && pwd)
version=$3
name=tovaro-$version-windows.zip
tarball=tovaro-$version-linux-x86_64.tar.gz
status=0

fail() {
  echo "FAIL: $*"
  status=1
}

for package in "$name" "$tarball"; do
  [ -f "$dist/$package" ] || { echo "FAIL: $dist/$package is missing"; exit 1; }
done
if [ "$(awk '{ print $2 }' "$dist/SHA256SUMS" 2>/dev/null | tr '\n' ' ')" != "$name $tarball " ]; then
  fail "SHA256SUMS does not list exactly $name and $tarball"
fi
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "a sum in SHA256SUMS is wrong"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$dist/$name") || { echo "FAIL: $name can't be read"; exit 1; }
contents=$(cd "$work" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
expected="BUILDINFO.txt CHANGELOG.txt LICENSE.txt THIRD-PARTY-NOTICES.txt readme-en.txt readme.txt tools/saori-call.exe tools/talk-listener.exe tovaro.dll x64/tovaro.dll "
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
check_text readme.txt docs/readme.ja.md
check_text readme-en.txt docs/readme.en.md
check_text LICENSE.txt LICENSE
check_text THIRD-PARTY-NOTICES.txt THIRD-PARTY-NOTICES
check_text CHANGELOG.txt CHANGELOG.md
# check_readme FILE MIN_JAPANESE_PERCENT: what a script author opens in Notepad.
# Lines indented by four blanks are examples, which may be as long as they must.
check_readme() {
  [ -f "$work/$1" ] || return
  grep -q 'apt-get' "$work/$1" && fail "$1 has instructions for developers (apt-get)"
  problems=$(tail -c +4 "$work/$1" | tr -d '\r' | perl -CSD -Mutf8 -e '
    my ($minimum, $previous, $japanese, $total) = (shift, "", 0, 0);
    while (my $line = <STDIN>) {
      chomp $line;
      print "line $.: Markdown\n" if $line =~ /^\s*\||\]\(|\*\*|^\s*```/;
      if ($line !~ /^    /) {
        my $width = 0;
        $width += /[\p{East_Asian_Width=Wide}\p{East_Asian_Width=Fullwidth}\p{East_Asian_Width=Ambiguous}]/ ? 2 : 1
          for split //, $line;
        print "line $.: $width columns\n" if $width > 78;
      }
      print "line $.: broken between two kana\n"
        if $previous =~ /[\p{sc=Hira}\p{sc=Kana}\x{30fc}]$/ && $line =~ /^\s*[\p{sc=Hira}\p{sc=Kana}\x{30fc}]/;
      $previous = $line;
      for (split //, $line) {
        next if /\s/;
        $total++;
        $japanese++ if /[\p{sc=Han}\p{sc=Hira}\p{sc=Kana}\x{3000}-\x{303f}\x{30fc}\x{ff00}-\x{ffef}]/;
      }
    }
    printf "%d %% Japanese, under %d %%\n", 100 * $japanese / $total, $minimum
      if $total && 100 * $japanese < $minimum * $total;
  ' "$2")
  [ -z "$problems" ] || fail "$1: $(echo "$problems" | head -5 | tr '\n' ';')"
}
check_readme readme.txt 60
check_readme readme-en.txt 0
# A package is a release: its change log says which, and lists nothing unreleased.
grep -q '^## \[Unreleased\]' "$source_dir/CHANGELOG.md" &&
  fail "CHANGELOG.md has an [Unreleased] section; a package must be a release"
grep -Eq "^## \[$version\] - [0-9]{4}-[0-9]{2}-[0-9]{2}\$" "$source_dir/CHANGELOG.md" ||
  fail "CHANGELOG.md has no dated section for $version"
# check_buildinfo FILE
check_buildinfo() {
  [ -f "$1" ] || return
  info=$(tr -d '\r' <"$1")
  echo "$info" | head -1 | grep -Eq "^tovaro $version, commit [0-9a-f]{40}\$" ||
    fail "$1 does not name the version and the commit"
  for package in g++-12 g++-mingw-w64-i686-posix binutils mingw-w64-i686-dev libc6; do
    echo "$info" | awk -v p="$package" '$1 == p { found = 1 } END { exit !found }' ||
      fail "$1 does not name $package"
  done
}
check_buildinfo "$work/BUILDINFO.txt"

# check_pe FILE TRIPLE ORIGINAL_NAME: stripped, names its debug file, no link
# time stamp, the version resource.
check_pe() {
  dll=$work/$1
  headers=$("$2-objdump" -h "$dll")
  echo "$headers" | grep -q ' \.debug_' && fail "$1 is not stripped"
  echo "$headers" | grep -q ' \.gnu_debuglink ' || fail "$1 does not name its debug file"
  "$2-objdump" -p "$dll" | grep -q '^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970' ||
    fail "$1 has a link time stamp"
  resource=$("$2-windres" -i "$dll" -O rc) || { fail "$1: no resources"; return; }
  numbers=$(echo "$version" | sed 's/\./, /g')
  for line in "FILEVERSION $numbers, 0" "PRODUCTVERSION $numbers, 0" \
              "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
              'VALUE "ProductName", "tovaro"' "VALUE \"OriginalFilename\", \"$3\""; do
    echo "$resource" | grep -qF "$line" || fail "$1: the version resource lacks $line"
  done
}

# check_dll FILE KIND TRIPLE
check_dll() {
  dll=$work/$1
  [ -f "$dll" ] || return
  echo "$1: $(wc -c <"$dll") bytes"
  out=$(sh "$source_dir/tests/module/check_binary.sh" "$2" "$3-objdump" "$dll") ||
    fail "$1: $out"
  echo "$out" | sed -n "s|^oldest Windows|$1: oldest Windows|p"
  check_pe "$1" "$3" tovaro.dll
}
check_dll tovaro.dll windows i686-w64-mingw32
check_dll x64/tovaro.dll windows64 x86_64-w64-mingw32
for tool in saori-call talk-listener; do
  exe=$work/tools/$tool.exe
  [ -f "$exe" ] || continue
  echo "tools/$tool.exe: $(wc -c <"$exe") bytes"
  i686-w64-mingw32-objdump -f "$exe" | grep -q 'file format pei-i386' ||
    fail "tools/$tool.exe is not a 32-bit Windows program"
  check_pe "tools/$tool.exe" i686-w64-mingw32 "$tool.exe"
  imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
            tr 'A-Z' 'a-z' | grep -Evx 'kernel32.dll|msvcrt.dll|ws2_32.dll|user32.dll|advapi32.dll|shell32.dll')
  [ -z "$imports" ] || fail "tools/$tool.exe imports $(echo "$imports" | tr '\n' ' ')"
done
# The tools run as a Windows user runs them, from the unpacked zip.
if (cd "$source_dir" && scripts/wine-works 32) >/dev/null 2>&1; then
  wine_run=$source_dir/cmake/wine-run
  for tool in saori-call talk-listener; do
    shown=$(cd "$work/tools" && "$wine_run" "./$tool.exe" --version 2>&1 | tr -d '\r')
    [ "$shown" = "$tool $version" ] || fail "tools/$tool.exe --version printed: $shown"
  done
  log=$work/listener.txt
  (cd "$work/tools" && exec "$wine_run" ./talk-listener.exe --port 0 --count 1) >"$log" 2>&1 &
  listener=$!
  port=
  for _ in $(seq 600); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log" | head -1)
    [ -n "$port" ] && break
    sleep 0.1
  done
  said=$(cd "$work" && "$wine_run" tools/saori-call.exe --wait 10 --status tovaro.dll \
           AddQueue hello 127.0.0.1 "${port:-0}" 2>&1 | tr -d '\r')
  for _ in $(seq 300); do kill -0 "$listener" 2>/dev/null || break; sleep 0.1; done
  kill "$listener" 2>/dev/null
  wait "$listener" 2>/dev/null
  if grep -q 'text="hello"' "$log" &&
     echo "$said" | grep -q '^since load: 1 delivered, 0 dropped$'; then
    echo "the zip's tools ran under 32-bit Wine and delivered a text"
  else
    fail "the zip's tools did not deliver a text: $(tr -d '\r' <"$log") / $said"
  fi
elif [ "${TOVARO_REQUIRE_WINE32:-no}" = yes ]; then
  fail "32-bit Wine does not run here, so the zip's tools could not be run"
else
  echo "32-bit Wine does not run here: the zip's tools were checked, not run"
fi

size=$(wc -c <"$work/tovaro.dll" 2>/dev/null || echo 0)
if [ "$size" -gt 204800 ]; then
  fail "the 32-bit tovaro.dll is $((size - 204800)) bytes over 200 KiB"
fi

# The Linux package. The readme says what it needs: glibc 2.34 and the C++ library of
# GCC 11 (GLIBCXX_3.4.29), or later; the newest symbol versions the three files
# ask for must not be newer.
linux=$work/linux
folder=${tarball%.tar.gz}
mkdir "$linux"
(cd "$linux" && tar xzf "$dist/$tarball") || { echo "FAIL: $tarball can't be read"; exit 1; }
contents=$(cd "$linux" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
expected=""
for file in BUILDINFO CHANGELOG.md LICENSE README.md THIRD-PARTY-NOTICES readme.en.md readme.ja.md saori-call talk-listener tovaro.so; do
  expected="$expected$folder/$file "
done
[ "$contents" = "$expected" ] || fail "the tarball holds: $contents"
check_buildinfo "$linux/$folder/BUILDINFO"
for text in CHANGELOG.md LICENSE README.md THIRD-PARTY-NOTICES docs/readme.en.md docs/readme.ja.md; do
  shipped=$linux/$folder/$(basename "$text")
  [ -f "$shipped" ] && { cmp -s "$shipped" "$source_dir/$text" ||
    fail "$folder/$(basename "$text") is not $text"; }
done
newest() {  # newest PREFIX FILE...: the newest symbol version PREFIX_x.y.z asked for
  prefix=$1
  shift
  objdump -T "$@" | grep -o "${prefix}_[0-9.]*" | sed "s/^${prefix}_//" | sort -V | tail -1
}
binaries=
for binary in tovaro.so saori-call talk-listener; do
  file=$linux/$folder/$binary
  [ -f "$file" ] || continue
  binaries="$binaries $file"
  headers=$(readelf --file-header --section-headers --wide "$file") ||
    { fail "$binary can't be read"; continue; }
  echo "$headers" | grep -Eq 'Machine:[[:space:]]+Advanced Micro Devices X86-64' ||
    fail "$binary is not an x86-64 ELF file"
  echo "$headers" | grep -Eq '\] \.(debug_|symtab)' && fail "$binary is not stripped"
  echo "$headers" | grep -q '\] \.gnu_debuglink ' || fail "$binary does not name its debug file"
  echo "$binary: $(wc -c <"$file") bytes"
done
if [ -f "$linux/$folder/tovaro.so" ]; then
  out=$(sh "$source_dir/tests/module/check_binary.sh" posix nm "$linux/$folder/tovaro.so") ||
    fail "tovaro.so: $out"
fi
if [ -n "$binaries" ]; then
  # shellcheck disable=SC2086
  glibc=$(newest GLIBC $binaries) cxx=$(newest GLIBCXX $binaries)
  echo "$folder needs glibc $glibc and GLIBCXX_$cxx"
  [ "$(printf '%s\n' "$glibc" 2.34 | sort -V | tail -1)" = 2.34 ] ||
    fail "the Linux files need glibc $glibc, newer than the readme's 2.34"
  [ "$(printf '%s\n' "$cxx" 3.4.29 | sort -V | tail -1)" = 3.4.29 ] ||
    fail "the Linux files need GLIBCXX_$cxx, newer than the readme's GLIBCXX_3.4.29"
fi

[ "$status" -eq 0 ] && echo "package check passed: $name, $tarball"
exit $status
