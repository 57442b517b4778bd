#!/usr/bin/env bash
# The long run of the damaged-file checks: the real setup file of tests/damage/project, every byte
# from offset 40 to the end inverted in turn (and the file cut in every part), each variant run
# silently under Wine. A run must show "The installer file is damaged!", end with exit code 2 once
# the message is answered, and leave drive C: and the registry as they were. The two header fields
# that a signing tool rewrites (the PE CheckSum, and the certificate table's offset while its size
# is 0) are counted as zeros by the checksum: their variants install, and are counted apart.
#
# Usage: every-byte.sh [-b BUILD] [-s SCRATCH] [-p bytes|cuts|both] [-o sequential|spread]
#                      [-l LIMIT] [-k BATCH] [-r PARTS] [-c classes|every] [-w K/N]
#   -b  the build folder (default build): velkorin-pack, the stub, the driver, the Wine template
#   -s  scratch folder (default a new one under /tmp); results.csv there has one line per variant
#   -p  which variants (default both: the changed bytes, then the cuts)
#   -o  sequential: offsets in order; spread: every region early (a fixed stride through the file,
#       the cuts taking turns with the changed bytes)
#   -l  stop after this many variants (default 0: all of them)
#   -k  variants per driver call (default 25)
#   -r  changed bytes only in these parts of the file, comma-separated name beginnings (the names
#       of summary.txt: "DOS header", "headers", "section .idata", "start routine", ...)
#   -c  classes (default): cut the file at each part's first, second, middle and last byte;
#       every: at every length
#   -w  only the K-th of N consecutive slices of the variants (default 1/1): N runs, each with its
#       own scratch folder, share the work between them and use more than one core
# Prints the counts by region and outcome; exits 1 when any variant had another outcome than the
# damaged-file message with exit code 2, a refusal by the loader before any of the program ran
# (not started, or ended with the loader's code for a missing DLL or function or a bad image), or,
# for the signing fields, a completed installation.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build="$root/build" scratch="" phases=both order=sequential limit=0 batch=25 parts="" cuts=classes share=1/1
while getopts "b:s:p:o:l:k:r:c:w:" option; do
  case $option in
    b) build=$(realpath "$OPTARG") ;;
    s) scratch=$OPTARG ;;
    p) phases=$OPTARG ;;
    o) order=$OPTARG ;;
    l) limit=$OPTARG ;;
    k) batch=$OPTARG ;;
    r) parts=$OPTARG ;;
    c) cuts=$OPTARG ;;
    w) share=$OPTARG ;;
    *) sed -n '2,29p' "$0"; exit 2 ;;
  esac
done
[ -n "$scratch" ] || scratch=$(mktemp -d /tmp/velkorin-every-byte-XXXXXX)
mkdir -p "$scratch"
scratch=$(realpath "$scratch")
echo "scratch: $scratch"
nice -n 19 "$build/velkorin-pack" build "$here/project/project.toml" -o "$scratch/setup.exe" --quiet || exit 1
"$root/tests/wine/prepare-template.sh" "$build/wine-template" || exit 1
exec nice -n 19 python3 "$here/every_byte.py" --build "$build" --scratch "$scratch" --phases "$phases" \
  --order "$order" --limit "$limit" --batch "$batch" --regions "$parts" --cuts "$cuts" --share "$share"
