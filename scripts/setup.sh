#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12, as root. Safe to run again:
# packages already present are left alone and zlib's source is fetched only once.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
zlib_dir="$here/third_party/zlib-src"

need_apt=0
# apt-get update fails as a whole when one index is caught mid-sync on the mirror ("File has
# unexpected size ... Mirror sync in progress?"), and apt-get install then cannot match the
# multi-arch versions. Try a few times; if one suite's index still cannot be fetched, leave that
# suite out, in a copy of the source lists used by this script's apt-get calls only (the system's
# lists stay as they are), and install from the suites that are whole.
apt_opts=()
update_indexes() {
  local try log
  log=$(mktemp)
  apt_opts=()
  for try in 1 2 3; do
    if apt-get update -q 2>"$log"; then cat "$log" >&2; rm -f "$log"; return 0; fi
    cat "$log" >&2
    echo "apt-get update failed (try $try of 3)" >&2
    [ "$try" = 3 ] || sleep $((try * 10))
  done
  local failed
  failed=$(grep -o 'dists/[^/ ]*/' "$log" | sed 's|^dists/||; s|/$||' | sort -u | tr '\n' ' ')
  rm -f "$log"
  [ -n "$failed" ] || return 1
  echo "apt-get update: leaving out the suites whose index could not be fetched: $failed" >&2
  local lists f
  lists=$(mktemp -d)
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v failed="$failed" '
      BEGIN { n = split(failed, list, " "); for (i = 1; i <= n; i++) out[list[i]] = 1 }
      FILENAME ~ /\.sources$/ {            # deb822: blocks split by blank lines
        if ($0 ~ /^[ \t]*$/) { if (keep) printf "%s\n", block; block = ""; keep = 1; next }
        if ($1 == "Suites:") {
          line = "Suites:"; left = 0
          for (i = 2; i <= NF; i++) if (!($i in out)) { line = line " " $i; left++ }
          if (!left) keep = 0
          $0 = line
        }
        block = block $0 "\n"; next
      }
      { for (i = 1; i <= NF; i++) if ($i in out) next; print }   # one-line entries
      END { if (keep) printf "%s", block }
    ' keep=1 "$f" > "$lists/$(basename "$f")"
  done
  apt_opts=(-o "Dir::Etc::SourceList=$lists/sources.list" -o "Dir::Etc::SourceParts=$lists")
  apt-get "${apt_opts[@]}" update -q
}
packages=(g++-mingw-w64-i686 cmake ninja-build googletest libgtest-dev libgmock-dev clang libclang-rt-14-dev
          libtomlplusplus-dev libcli11-dev zlib1g-dev xvfb imagemagick fonts-wine fonts-vlgothic locales
          wine wine32:i386 dpkg-dev x11-utils nsis osslsigncode openssl
          g++-mingw-w64-x86-64 wine64 python3)

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
  update_indexes
  apt-get "${apt_opts[@]}" install -y -q --no-install-recommends "${packages[@]}"
fi

# ---- 32-bit programs: wine32's loader and wineserver are 32-bit Linux programs ----
# A kernel built or booted without 32-bit support refuses them ("Exec format error"). There they
# run under qemu's user-mode emulation, registered for i386 ELF files through binfmt_misc; Wine's
# preloader is then needed too, or every Wine start spends ~50 s reserving address space.
# On a kernel that runs them natively nothing is added. VELKORIN_EMULATE_I386=1 sets up the
# emulation even there (binfmt_misc entries take precedence over the kernel's own loader), to
# try the emulated path on a native machine.
probe=$(mktemp)
# The smallest i386 ELF program: exit(42) through int 0x80.
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' > "$probe"
chmod +x "$probe"
runs_32bit() { local code=0; "$probe" 2>/dev/null || code=$?; [ "$code" = 42 ]; }
binfmt=/proc/sys/fs/binfmt_misc
emulated() { [ -f "$binfmt/qemu-i386" ] && grep -qx enabled "$binfmt/qemu-i386"; }

# bookworm's qemu 7.2 is not enough: a fault in a Wine program reaches Wine's fault handler with
# trap number -1, the handler cannot tell a page fault from anything else and ends the program
# where Windows (and Wine natively) handles the fault; seen every time when ole32's RPC thread
# starts at the end of a removal. Under qemu 10 from bookworm-backports (package qemu-user, static
# binaries, which replaces qemu-user-static) the same run passes. Only that package comes from
# backports.
qemu=/usr/bin/qemu-i386
qemu_ok() {
  local v
  v=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null) || return 1
  dpkg --compare-versions "$v" ge 1:10.0 && [ -x "$qemu" ]
}
registered() { emulated && grep -qx "interpreter $qemu" "$binfmt/qemu-i386"; }

if ! runs_32bit || emulated || [ "${VELKORIN_EMULATE_I386:-0}" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  if ! qemu_ok; then
    backports=/etc/apt/sources.list.d/velkorin-backports.sources
    if [ ! -f "$backports" ]; then
      printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm-backports' \
        'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' > "$backports"
    fi
    update_indexes
    apt-get "${apt_opts[@]}" install -y -q --no-install-recommends -t bookworm-backports qemu-user
  fi
  dpkg -s wine32-preloader:i386 >/dev/null 2>&1 ||
    apt-get "${apt_opts[@]}" install -y -q --no-install-recommends wine32-preloader:i386
  [ -f "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  if ! registered; then
    # A disabled entry, or one for another interpreter (an older qemu), is replaced.
    [ -f "$binfmt/qemu-i386" ] && echo -1 > "$binfmt/qemu-i386"
    # F: the interpreter is opened now, so it is found from any mount namespace or chroot.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
      > "$binfmt/register"
  fi
  if ! runs_32bit; then
    echo "setup: 32-bit programs do not run, not even under $qemu: Wine cannot work here" >&2
    rm -f "$probe"
    exit 1
  fi
  echo "setup: this kernel does not run 32-bit programs itself; they run under $qemu ($(dpkg-query -W -f='${Version}' qemu-user))"
fi
rm -f "$probe"

# ---- locales: Wine takes the ANSI code page from the locale, so the tests of the Russian (1251),
# Polish (1250) and Japanese (932) texts run Wine under these locales ----
locales_needed=(ru_RU.UTF-8 pl_PL.UTF-8 ja_JP.UTF-8)
locales_missing=0
for l in "${locales_needed[@]}"; do
  locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}" || locales_missing=1
done
if [ "$locales_missing" = 1 ]; then
  for l in "${locales_needed[@]}"; do
    grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null || echo "$l UTF-8" >> /etc/locale.gen
  done
  locale-gen >/dev/null
fi

if [ ! -f "$zlib_dir/inflate.c" ]; then
  tmp=$(mktemp -d)
  # The security archive may list a newer version whose files it no longer serves: fall back to
  # each version the index knows until one downloads.
  if ! (cd "$tmp" && apt-get "${apt_opts[@]}" source --download-only zlib >/dev/null 2>&1); then
    for v in $(apt-cache showsrc zlib | sed -n 's/^Version: //p' | sort -ru); do
      (cd "$tmp" && apt-get "${apt_opts[@]}" source --download-only "zlib=$v" >/dev/null 2>&1) && break
    done
  fi
  orig=$(ls "$tmp"/zlib_*.orig.tar.* | head -n 1)
  mkdir -p "$zlib_dir"
  tar -xf "$orig" -C "$zlib_dir" --strip-components=1
  rm -rf "$tmp"
fi
echo "setup: tools and zlib source are in place"
