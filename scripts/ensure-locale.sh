#!/usr/bin/env bash
# Makes sure the Unix locale LOCALE (for instance zh_CN.UTF-8) exists, generating it
# when it is missing, then runs COMMAND, if one is given, in its place.
# Usage: scripts/ensure-locale.sh LOCALE [COMMAND ARGS...]
#
# Wine takes its ANSI code page from the Unix locale, and LC_ALL=zh_CN.UTF-8 gives code
# page 936 even where that locale does not exist; but it then shows files with non-ASCII
# names under mangled names. Quick when the locale is there already.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=${1:?locale, for instance zh_CN.UTF-8}
shift
# LC_ALL may name the very locale that is missing: the checks below run without it.
language=${name%%.*}
charset=${name#*.}
# locale -a spells the charset in lower case without its dash: zh_CN.utf8.
listed="$language.$(printf '%s' "$charset" | tr 'A-Z' 'a-z' | tr -d '-')"
if ! LC_ALL=C locale -a 2>/dev/null | grep -qx "$listed"; then
  command -v localedef >/dev/null || bash "$root/scripts/install-deps.sh" locales
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Generating the locale $name"
  LC_ALL=C "${sudo[@]}" localedef -i "$language" -f "$charset" "$name"
fi
[ $# -eq 0 ] || exec "$@"
