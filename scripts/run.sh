#!/bin/sh
# Installs what is needed, builds Morvelan (optimised, in build-run/, apart from
# the sanitised test build in build/) and runs it.
set -e
cd "$(dirname "$0")/.."
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

if [ -f app/main.cpp ]; then
    build morvelan
    exec build-run/morvelan "$@"
fi

# Until the desktop program exists: show what the archive components make of a
# sample archive, through the mvarc driver.
build mvarc
MVARC=build-run/tests/tools/mvarc
SAMPLE=$1
if [ -z "$SAMPLE" ]; then
    SAMPLE=../shared/corpus/zip/infozip_deflate_dirs.zip
    if [ ! -f "$SAMPLE" ]; then
        # No shared corpus beside the checkout: make a sample archive here.
        WORK=$(mktemp -d "${TMPDIR:-/tmp}/morvelan-sample.XXXXXX")
        trap 'rm -rf "$WORK"' EXIT
        mkdir -p "$WORK/docs"
        printf 'Morvelan sample text\n' > "$WORK/readme.txt"
        seq 1 2000 > "$WORK/docs/numbers.txt"
        (cd "$WORK" && "$OLDPWD/$MVARC" add sample.zip -r readme.txt docs >/dev/null)
        SAMPLE=$WORK/sample.zip
    fi
fi
echo "Archive: $SAMPLE"
"$MVARC" type "$SAMPLE" | awk -F'\t' '{ printf "Type: %s (archive at offset %s, %s bytes)\n", $1, $2, $3 }'
echo
"$MVARC" list "$SAMPLE" | awk -F'\t' '
    BEGIN { printf "%-40s %12s %12s %-8s %-9s %s\n", "Name", "Size", "Packed", "CRC", "Method", "Date" }
    $1 == "total" { printf "\n%d entries, %s bytes, %s packed (%s)\n", $2, $3, $4, $5; next }
    { printf "%-40s %12s %12s %-8s %-9s %s\n", $1, $2, $3, $4, $5, $6 }'
