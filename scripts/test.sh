#!/bin/sh
# Installs what is needed, builds everything under AddressSanitizer and UBSan
# with warnings as errors, runs every test (with the layer check, the check of
# the generated files and their own tests; a missing peer tool fails its tests),
# runs each fuzz target briefly on the corpus, and prints the benchmark tables.
# Exits non-zero when anything fails.
set -e
cd "$(dirname "$0")/.."
./scripts/deps.sh
JOBS=$(nproc)

# The tests check the engines against real archives made by other tools, kept
# in the shared corpus beside the checkout.
CORPUS=${MV_CORPUS_DIR:-../shared/corpus}
if [ ! -f "$CORPUS/MANIFEST.tsv" ]; then
    echo "test.sh: the real-archive corpus is missing: $CORPUS/MANIFEST.tsv was not found." >&2
    echo "test.sh: put the shared folder (corpus and design notes) at ../shared beside this checkout, or set MV_CORPUS_DIR." >&2
    exit 1
fi
export MV_CORPUS_DIR="$(cd "$CORPUS" && pwd)"

# A compiler cache, where one is installed, makes repeated runs quick.
LAUNCHER=""
if command -v ccache >/dev/null 2>&1; then
    LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
fi
cmake -S . -B build -DMV_SANITIZE=ON -DMV_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo $LAUNCHER >/dev/null
cmake --build build -j "$JOBS"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build && ctest -j "$JOBS" --output-on-failure --timeout 900)

# Fuzz targets: a short fixed run each, seeded with the real-archive corpus.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DMV_FUZZ=ON -DMV_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j "$JOBS"
SEEDS=build/fuzz/seeds
rm -rf "$SEEDS" && mkdir -p "$SEEDS"
if [ -d ../shared/corpus ]; then
    find ../shared/corpus -type f ! -name '*.tsv' ! -name '*.md' -exec cp {} "$SEEDS"/ \;
fi
[ -d tests/fixtures ] && find tests/fixtures -type f ! -name '*.md' -exec cp {} "$SEEDS"/ \; || true
FUZZ_TIME=${MV_FUZZ_SECONDS:-10}
# The targets run side by side, one per core; a failing one prints its log.
ls build/fuzz/fuzz/fuzz_* 2>/dev/null | FUZZ_TIME=$FUZZ_TIME SEEDS=$SEEDS xargs -r -P "$JOBS" -I{} sh -c '
    name=$(basename "$1")
    mkdir -p "build/fuzz/work/$name"
    if "$1" -max_total_time="$FUZZ_TIME" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
            -print_final_stats=0 -artifact_prefix="build/fuzz/$name-" "build/fuzz/work/$name" "$SEEDS" >"build/fuzz/$name.log" 2>&1; then
        echo "== $name: clean (${FUZZ_TIME}s)"
    else
        echo "== $name: FAILED"; tail -60 "build/fuzz/$name.log"; exit 255
    fi' _ {}

# Benchmarks: optimised build, printed for information.
if [ -x build/bench/mvbench ]; then
    build/bench/mvbench --quick
fi
echo "all tests passed"
