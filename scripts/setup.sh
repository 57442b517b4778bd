#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12, as root. Safe to run again:
# packages already present are left alone and zlib's source is fetched only once.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
zlib_dir="$here/third_party/zlib-src"

need_apt=0
packages=(g++-mingw-w64-i686 cmake ninja-build googletest libgtest-dev libgmock-dev clang libclang-rt-14-dev
          libtomlplusplus-dev libcli11-dev zlib1g-dev xvfb imagemagick fonts-wine
          wine wine32:i386 dpkg-dev x11-utils)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_apt=1
fi
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || need_apt=1
done

if ! grep -rqs '^deb-src .*bookworm' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null \
   && ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ 2>/dev/null; then
  # Add source entries next to the binary ones so that `apt-get source` can fetch zlib.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/velkorin-src.sources
  else
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
      > /etc/apt/sources.list.d/velkorin-src.list
  fi
  need_apt=1
fi

if [ "$need_apt" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${packages[@]}"
fi

if [ ! -f "$zlib_dir/inflate.c" ]; then
  tmp=$(mktemp -d)
  # The security archive may list a newer version whose files it no longer serves: fall back to
  # each version the index knows until one downloads.
  if ! (cd "$tmp" && apt-get source --download-only zlib >/dev/null 2>&1); then
    for v in $(apt-cache showsrc zlib | sed -n 's/^Version: //p' | sort -ru); do
      (cd "$tmp" && apt-get source --download-only "zlib=$v" >/dev/null 2>&1) && break
    done
  fi
  orig=$(ls "$tmp"/zlib_*.orig.tar.* | head -n 1)
  mkdir -p "$zlib_dir"
  tar -xf "$orig" -C "$zlib_dir" --strip-components=1
  rm -rf "$tmp"
fi
echo "setup: tools and zlib source are in place"
