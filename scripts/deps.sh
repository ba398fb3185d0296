#!/bin/sh
# Installs what Morvelan needs to build, test and benchmark (Debian 12, as root).
set -e
export DEBIAN_FRONTEND=noninteractive
PKGS="cmake make g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev qt6-base-dev libgl-dev
      zlib1g-dev libdeflate-dev python3 tzdata
      zip unzip p7zip-full arj lhasa jlha-utils arc nomarch gcab cabextract unar ncompress
      sharutils uudeview libarchive-tools gzip tar
      desktop-file-utils libxml2-utils xdg-utils shared-mime-info
      fonts-liberation xvfb xauth"
missing=""
for p in $PKGS; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends $missing
fi
