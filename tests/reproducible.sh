#!/usr/bin/env bash
# Builds the release files twice, in two different folders at two different times (the
# second from a copy of the tree made elsewhere), and checks that they are the same bytes, and
# that lintian (pedantic) and AppStream's validator report nothing on the Debian package.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct)}

bash "$source_dir/tools/release.sh" "$work/first" "$work/first-build" >"$work/first.log" 2>&1 ||
    { cat "$work/first.log"; exit 1; }
mkdir -p "$work/copy/elsewhere"
(cd "$source_dir" && git ls-files -co --exclude-standard | tar -cf - -T -) |
    tar -xf - -C "$work/copy/elsewhere"
bash "$work/copy/elsewhere/tools/release.sh" "$work/second" "$work/second-build" \
    >"$work/second.log" 2>&1 || { cat "$work/second.log"; exit 1; }

cat "$work/first/SHA256SUMS"
if ! diff "$work/first/SHA256SUMS" "$work/second/SHA256SUMS"; then
    echo "FAIL: two builds of the same tree differ"
    exit 1
fi
echo "ok: the release files are the same bytes in both builds"
lintian --pedantic --fail-on error,warning,pedantic "$work"/first/*.deb
dpkg-deb -x "$work"/first/*.deb "$work/tree"
appstreamcli validate-tree --no-net --pedantic "$work/tree" | tee "$work/appstream"
! grep -q '^ *[EWIP]: ' "$work/appstream" || exit 1
echo "ok: lintian and appstreamcli accept the package"
