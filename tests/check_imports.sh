#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that Windows itself does not
# ship (zlib1.dll, libstdc++-6.dll, libwinpthread-1.dll...): such a program
# starts under Wine, which has many of them, and not on a plain Windows.
# Prints each program's size once stripped.
#   check_imports.sh program.exe...
set -u
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
strip=${STRIP:-x86_64-w64-mingw32-strip}
system='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|ole32|oleaut32|advapi32|wininet|winmm|msvcrt|shlwapi|ws2_32|version|uxtheme|api-ms-win-.*)\.dll$'
status=0
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  if [ -z "$dlls" ]; then
    echo "$exe: no import table found" >&2
    status=1
  fi
  for dll in $dlls; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system"; then
      echo "$exe imports $dll, which Windows does not have" >&2
      status=1
    fi
  done
  copy=$(mktemp)
  "$strip" -o "$copy" "$exe" && echo "$(basename "$exe"): $(stat -c %s "$copy") bytes stripped; imports: $(echo $dlls)"
  rm -f "$copy"
done
exit $status
