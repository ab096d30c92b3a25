#!/usr/bin/env bash
# NubixVSClient.lib is an MSVC import library in the short-import format: one
# import member per export of the .def file and nothing else; each imports code
# from NubixVSClient.dll by its undecorated name (name type noprefix: the C symbol
# _kesaX, the C calling convention's decoration, imports kesaX).
#   import_library_test.sh LLVM_READOBJ LIB DEF
set -euo pipefail
readobj=$1 lib=$2 def=$3

expected() {
  awk '/^ *EXPORTS/ { on = 1; next } on && NF { print "NubixVSClient.dll code noprefix __imp__" $1 " _" $1 }' "$def"
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
