#!/usr/bin/env bash
# Opens each of the four windows of examclient on a virtual 1280x1024 screen and writes
# <window>.png (the window) and <window>-screen.png (the whole screen) into the folder given.
#   bash scripts/screenshots.sh OUTDIR
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:?usage: scripts/screenshots.sh OUTDIR}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

if [ ! -x build/src/app/examclient ]; then
    cmake -S . -B build -G Ninja >/dev/null
fi
cmake --build build -j2 --target examclient >/dev/null

runtime="$(mktemp -d)"
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=xcb QT_LOGGING_RULES='qt.qpa.*=false' \
    xvfb-run -a -s "-screen 0 1280x1024x24" build/src/app/examclient --screenshots "$out"
ls "$out"/*.png
