#!/bin/sh
# Installs what is needed, builds Morvelan (optimised, in build-run/, apart from
# the sanitised test build in build/) and starts it with a sample archive open:
# the first argument, else one of the shared corpus, else one made here. Without
# a display it says so, runs the program under Xvfb and saves a picture of the
# main window to a path it prints.
set -e
cd "$(dirname "$0")/.."
ROOT=$(pwd)
./scripts/deps.sh
JOBS=$(nproc)
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=Release -DMV_BENCH=OFF >/dev/null
# The build's output is kept in build-run/build.log and shown only when it fails.
build() {
    if ! cmake --build build-run -j "$JOBS" --target "$1" >build-run/build.log 2>&1; then
        cat build-run/build.log
        echo "run.sh: building $1 failed" >&2
        exit 1
    fi
}
build morvelan

SAMPLE=$1
if [ -z "$SAMPLE" ]; then
    SAMPLE=$ROOT/../shared/corpus/zip/infozip_deflate_dirs.zip
    if [ ! -f "$SAMPLE" ]; then
        # No shared corpus beside the checkout: make a sample archive here.
        build mvarc
        mkdir -p build-run/sample/docs
        printf 'Morvelan sample text\n' > build-run/sample/readme.txt
        seq 1 2000 > build-run/sample/docs/numbers.txt
        rm -f build-run/sample/sample.zip
        (cd build-run/sample && "$ROOT/build-run/tests/tools/mvarc" add sample.zip -r readme.txt docs >/dev/null)
        SAMPLE=$ROOT/build-run/sample/sample.zip
    fi
fi
SAMPLE=$(realpath "$SAMPLE")
echo "Archive: $SAMPLE"

if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ]; then
    exec build-run/morvelan "$SAMPLE"
fi

echo "run.sh: no display here (DISPLAY is not set): running Morvelan under Xvfb"
NUMBER=99
while [ -e "/tmp/.X11-unix/X$NUMBER" ] || [ -e "/tmp/.X$NUMBER-lock" ]; do NUMBER=$((NUMBER + 1)); done
Xvfb ":$NUMBER" -screen 0 1024x768x24 -nolisten tcp >build-run/xvfb.log 2>&1 &
XVFB=$!
trap 'kill $XVFB 2>/dev/null || true' EXIT
i=0
while [ ! -e "/tmp/.X11-unix/X$NUMBER" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
DISPLAY=":$NUMBER" QT_QPA_PLATFORM=xcb build-run/morvelan "$SAMPLE" &
PROGRAM=$!
mkdir -p build-run/screenshots
SHOT=$ROOT/build-run/screenshots/main-window.png
if python3 scripts/x11window.py grab --display ":$NUMBER" --title "$SAMPLE" --out "$SHOT" --wait 60 >/dev/null; then
    echo "Screenshot of the main window: $SHOT"
    python3 scripts/x11window.py close --display ":$NUMBER" --title "$SAMPLE" >/dev/null
    wait $PROGRAM
else
    echo "run.sh: the main window did not appear" >&2
    kill $PROGRAM 2>/dev/null || true
    exit 1
fi
