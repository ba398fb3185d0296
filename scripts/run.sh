#!/bin/sh
# Installs what is needed, builds Morvelan and runs it.
set -e
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/morvelan ]; then
    exec build/morvelan "$@"
fi
# Until the desktop program exists: show what the archive components make of a sample archive.
SAMPLE=${1:-../shared/corpus/zip/infozip_deflate_dirs.zip}
exec build/tests/tools/mvarc type "$SAMPLE"
