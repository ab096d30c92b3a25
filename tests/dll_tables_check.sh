#!/usr/bin/env bash
# Checks the DLL's tables: it exports exactly the four undecorated names, imports
# system DLLs only (the C++ runtime is linked in), and holds no code that throws.
# Usage: dll_tables_check.sh OBJDUMP NM DLL
set -uo pipefail
objdump=${1:?objdump}
nm=${2:?nm}
dll=${3:?dll}

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

headers=$("$objdump" -p "$dll") || { echo "FAIL: $objdump -p $dll"; exit 1; }

# The names listed under "[Ordinal/Name Pointer] Table", up to the next blank line.
exports=$(printf '%s\n' "$headers" |
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^[[:space:]]*$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
expected_exports=$(printf '%s\n' kesaCreateVSClient kesaDelBuffer kesaNewBuffer kesaReleaseVSClient | sort)
if [ "$exports" != "$expected_exports" ]; then
  fail "exports are not exactly the four C names: $(echo $exports)"
fi

# "DLL Name: KERNEL32.dll" lines of the import tables.
imports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p')
if [ -z "$imports" ]; then
  fail "no import table found"
fi
for name in $imports; do
  case "${name^^}" in
    KERNEL32.DLL | USER32.DLL | ADVAPI32.DLL | WS2_32.DLL | IPHLPAPI.DLL | MSVCRT.DLL) ;;
    *) fail "imports $name, which is not a system DLL" ;;
  esac
done
printf '%s\n' "$imports" | grep -qix 'KERNEL32.dll' || fail "KERNEL32.dll not among the imports"

symbols=$("$nm" "$dll") || { echo "FAIL: $nm $dll"; exit 1; }
# An empty symbol table (a stripped DLL) would let the next check pass on nothing.
# x86 C names carry a leading underscore; x64 names none.
printf '%s\n' "$symbols" | grep -q ' _\{0,1\}kesaCreateVSClient$' ||
  fail "the symbol table does not list kesaCreateVSClient"
throwers=$(printf '%s\n' "$symbols" |
  grep -E ' _*(__cxa_throw|__cxa_rethrow|_Unwind_RaiseException|_Unwind_Resume_or_Rethrow)$')
if [ -n "$throwers" ]; then
  fail "the DLL holds code that throws:"
  printf '%s\n' "$throwers" | sed 's/^/  /'
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed for $dll"
  exit 1
fi
echo "exports: $(echo $exports)"
echo "imports: $(echo $imports)"
