#!/usr/bin/env bash
# Checks a built Tavrin.exe from its PE headers.
# Usage: check-exe.sh EXE OBJDUMP EXPECTED_FORMAT
set -uo pipefail
exe=$1 objdump=$2 format=$3
headers=$("$objdump" -p "$exe") || { echo "cannot read $exe"; exit 1; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
field() { awk -v name="$1" '$1 == name {print $2}' <<<"$headers"; }

grep -q "file format $format\$" <<<"$headers" || fail "not a $format executable"
# 2: the Windows GUI subsystem, so no console window opens; made for Windows 7 (6.1) on.
[ "$(field Subsystem)" = 00000002 ] || fail "not a GUI program"
for version in OSystemVersion SubsystemVersion; do
    [ "$(field Major$version).$(field Minor$version)" = 6.1 ] || fail "$version is not 6.1"
done
# No time stamp: two builds of one commit are the same bytes.
grep -q 'Time/Date.*Jan  1 00:00:00 1970' <<<"$headers" || fail "a link time stamp"

flags=$((16#$(field DllCharacteristics)))
(( flags & 0x40 )) || fail "no ASLR (DYNAMIC_BASE)"
(( flags & 0x100 )) || fail "no DEP (NX_COMPAT)"
(( flags & 0x8000 )) || fail "not TERMINAL_SERVER_AWARE"
if [ "$format" = pei-x86-64 ]; then
    (( flags & 0x20 )) || fail "no high-entropy ASLR"
else
    (( flags & 0x400 )) || fail "not NO_SEH, though it installs no SEH handler"
fi
grep -q 'Characteristics.*relocations stripped' <<<"$headers" && fail "relocations stripped: ASLR cannot move it"

# Only DLLs that ship with Windows, and nothing of the compiler's own run time.
allowed='^(kernel32|user32|gdi32|comctl32|ole32|oleaut32|advapi32|msvcrt|shell32)\.dll$'
dlls=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$headers")
[ -n "$dlls" ] || fail "no imports found"
for dll in $dlls; do
    grep -Eq "$allowed" <<<"$dll" || fail "imports $dll"
done
[ $failures -eq 0 ] && echo "ok: $exe imports $(echo $dlls)" || exit 1
