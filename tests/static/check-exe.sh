#!/usr/bin/env bash
# Checks a built Tavrin.exe from its PE headers.
# Usage: check-exe.sh EXE OBJDUMP EXPECTED_FORMAT
set -uo pipefail
exe=$1 objdump=$2 format=$3
headers=$("$objdump" -p "$exe") || { echo "cannot read $exe"; exit 1; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

grep -q "file format $format\$" <<<"$headers" || fail "not a $format executable"
# 2: the Windows GUI subsystem, so no console window opens.
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI program"

flags=$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")
(( 16#${flags:-0} & 0x40 )) || fail "no ASLR (DYNAMIC_BASE)"
(( 16#${flags:-0} & 0x100 )) || fail "no DEP (NX_COMPAT)"
if [ "$format" = pei-x86-64 ]; then
    (( 16#${flags:-0} & 0x20 )) || fail "no high-entropy ASLR"
fi
grep -q 'Characteristics.*relocations stripped' <<<"$headers" && fail "relocations stripped: ASLR cannot move it"

# Only DLLs that ship with Windows, and nothing of the compiler's own run time.
allowed='^(kernel32|user32|gdi32|comctl32|ole32|oleaut32|advapi32|msvcrt|shell32)\.dll$'
dlls=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$headers")
[ -n "$dlls" ] || fail "no imports found"
for dll in $dlls; do
    grep -Eq "$allowed" <<<"$dll" || fail "imports $dll"
done

echo "imports: $(echo $dlls)"
echo "DllCharacteristics: 0x$flags"
[ $failures -eq 0 ] && echo "ok: $exe" || exit 1
