#!/usr/bin/env bash
# The include check passes on this tree, and fails on a copy of it with one include planted that
# crosses a boundary (the network rules reaching for a Linux desktop entry).
set -euo pipefail
source=${TAVRINK_SOURCE:?}
python3 "$source/scripts/check-includes" --root "$source"
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp -r "$source/docs" "$source/src" "$source/tools" "$copy/"
sed -i '1a #include "platform/linux/xdg/DesktopEntry.h"' "$copy/src/network/IPAddress.cpp"
if output=$(python3 "$source/scripts/check-includes" --root "$copy" 2>&1); then
    echo "FAIL: a planted include across a boundary passed" >&2
    exit 1
fi
grep -q "src/network/IPAddress.cpp:2: network includes platform/linux/xdg/DesktopEntry.h" <<<"$output" ||
    { echo "FAIL: the check did not name the planted include: $output" >&2; exit 1; }
echo "ok: the include check passes here and fails on a planted violation"
