#!/bin/sh
# imports.sh -- a Windows executable imports only DLLs that every Windows has: the C++ run-time and
# the thread library are linked in, so the zips need nothing installed.
# usage: imports.sh OBJDUMP PROGRAM.exe   (make windows checks both programs; a Wine-build test the 64-bit one)
set -u
OBJDUMP=$1 EXE=$2
dlls=$("$OBJDUMP" -p "$EXE" | sed -n 's/^[[:space:]]*DLL Name: //p') || { echo "FAIL: $OBJDUMP cannot read $EXE"; exit 1; }
[ -n "$dlls" ] || { echo "FAIL: no imported DLLs listed for $EXE"; exit 1; }
bad=""
for dll in $dlls; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
        kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll|winmm.dll|msacm32.dll|shell32.dll|ole32.dll) ;;
        *) bad="$bad $dll" ;;
    esac
done
[ -z "$bad" ] || { echo "FAIL: $EXE needs DLLs that Windows does not bring:$bad"; exit 1; }
echo "ok:" $dlls
