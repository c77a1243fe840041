#!/usr/bin/env bash
# check-dll-tables.sh OBJDUMP DLL
# Fails unless the DLL exports exactly the eleven functions under their plain names and imports
# nothing but Windows system DLLs (no MinGW runtime such as libstdc++-6.dll or libwinpthread-1.dll).
set -euo pipefail
objdump=$1 dll=$2
dump=$("$objdump" -p "$dll")

expected="ParamsRequest QvCancelAllPendingSignals QvDeInit QvInit QvLog QvNextResponse QvOrderCancel
QvOrderClose QvOrderModify QvOrderOpen QvReadResponses"
expected=$(echo $expected | tr ' ' '\n' | sort)
# The name table: the lines after "[Ordinal/Name Pointer] Table" up to the first empty one.
exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next } on && NF == 0 { exit } on { print $NF }' <<<"$dump" | sort)
if [ "$exports" != "$expected" ]; then
  echo "FAIL: $(wc -l <<<"$exports") exports, not the eleven; the first ones:"
  head -n 15 <<<"$exports"
  exit 1
fi

system_dlls=" advapi32.dll bcrypt.dll crypt32.dll iphlpapi.dll kernel32.dll msvcrt.dll ntdll.dll ole32.dll
oleaut32.dll rpcrt4.dll secur32.dll shell32.dll user32.dll ws2_32.dll "
imports=$(awk '/DLL Name:/ { print $3 }' <<<"$dump")
[ -n "$imports" ] || { echo "FAIL: no import table"; exit 1; }
for i in $imports; do
  lower=$(tr 'A-Z' 'a-z' <<<"$i")
  case "$(echo $system_dlls)" in
    *" $lower "*|"$lower "*|*" $lower") ;;
    *) echo "FAIL: imports $i, which is not a Windows system DLL"; exit 1 ;;
  esac
done
echo "exports: $(echo $exports)"
echo "imports: $(echo $imports)"
