#!/usr/bin/env bash
# Builds the Debian packages of a built tree with CPack into OUT_DIR and
# checks them with lintian: an error fails. Prints the package files.
#   build-packages.sh BUILD_DIR OUT_DIR
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR OUT_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
out=$2

rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
cpack --config "$build/CPackConfig.cmake" -B "$out" >&2
debs=("$out"/*.deb)
[ -e "${debs[0]}" ] || { echo "$0: CPack made no package" >&2; exit 1; }
echo "lintian ${debs[*]##*/}" >&2
lintian --fail-on error,warning --display-info --tag-display-limit 0 "${debs[@]}" >&2
printf '%s\n' "${debs[@]}"
