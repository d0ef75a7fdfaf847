#!/usr/bin/env bash
# Converts an example layout with cif2kavrit, exports its isometric SVG with
# kavrit-export and renders it to PNG with rsvg-convert (Debian: librsvg2-bin).
#
#   tools/render-example.sh [CIF [PNG]]
#
# CIF defaults to examples/hinged_mirror.cif, PNG to docs/example.png.  The
# tools are taken from build/, or from the folder named by BUILD_DIR.
# CIF2KAVRIT_OPTIONS adds options to the conversion (for example --flatten).  The
# picture is replaced only once it has been rendered completely.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${BUILD_DIR:-$root/build}" 2>/dev/null && pwd)" || {
    echo "render-example.sh: no build folder ${BUILD_DIR:-$root/build}: build first" >&2
    exit 1
}
cif="${1:-$root/examples/hinged_mirror.cif}"
png="${2:-$root/docs/example.png}"

for tool in cif2kavrit kavrit-export; do
    if [ ! -x "$build/$tool" ]; then
        echo "render-example.sh: $build/$tool is missing: cmake --build $build" >&2
        exit 1
    fi
done
if ! command -v rsvg-convert >/dev/null; then
    echo "render-example.sh: rsvg-convert is missing: apt-get install librsvg2-bin" >&2
    exit 1
fi
if [ ! -r "$cif" ]; then
    echo "render-example.sh: cannot read $cif" >&2
    exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"; rm -f "$png.part"' EXIT
name="$(basename "$cif")"
stem="${name%.*}"
# The converter writes its intermediate files in the current folder, and the
# picture's title names the CIF file as given: run it on a copy in $work.
cp "$cif" "$work/$name"
# shellcheck disable=SC2086 # the options are words of their own
(cd "$work" && "$build/cif2kavrit" ${CIF2KAVRIT_OPTIONS:-} -s -o "$stem.kavrit" "$name")
"$build/kavrit-export" "$work/$stem.kavrit" "$work/$stem.svg"
mkdir -p "$(dirname "$png")"
rsvg-convert -o "$png.part" "$work/$stem.svg"
mv "$png.part" "$png"
echo "wrote $png"
