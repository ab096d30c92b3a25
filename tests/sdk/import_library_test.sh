#!/usr/bin/env bash
# NubixVSClient.lib is an MSVC import library in the short-import format: one
# import member per export of the .def file and nothing else; each imports code
# from NubixVSClient.dll by its undecorated name. On x86 the name type is noprefix:
# the C symbol _kesaX, the C calling convention's decoration, imports kesaX. On x64
# C names carry no decoration: the symbol kesaX imports kesaX by name.
#   import_library_test.sh LLVM_READOBJ LIB DEF ARCH
set -euo pipefail
readobj=$1 lib=$2 def=$3 arch=$4

expected() {
  if [ "$arch" = x64 ]; then
    awk '/^ *EXPORTS/ { on = 1; next } on && NF { print "NubixVSClient.dll code name __imp_" $1 " " $1 }' "$def"
  else
    awk '/^ *EXPORTS/ { on = 1; next } on && NF { print "NubixVSClient.dll code noprefix __imp__" $1 " _" $1 }' "$def"
  fi
}

# One line per short-import member: DLL, type, name type, symbols.
members() {
  "$readobj" "$lib" | awk '
    function flush() { if (line != "") print line; line = "" }
    /^File: / { flush(); file = $2; short = 0 }
    /^Format: COFF-import-file/ { short = 1; line = file }
    short && /^Type: / { line = line " " $2 }
    short && /^Name type: / { line = line " " $3 }
    short && /^Symbol: / { line = line " " $2 }
    END { flush() }'
}

if ! diff -u <(expected) <(members); then
  echo "$lib: the short-import members differ from the exports of $def (- expected, + found)"
  exit 1
fi
echo "$lib: $(members | wc -l) short-import members, one per export"
