#!/usr/bin/env bash
# The main job on the virtual recorder: builds Tidemark, then records a data
# disc of two sessions on a virtual CD-R, reads it back, extracts from it and
# checks it with independent readers, saves the same compilation as an image,
# burns that image to a DVD+R and blanks a CD-RW.
#
# The recorder's state lives in a temporary folder that is removed at the end,
# so the demo never touches the recorder of the user's own TIDEMARK_VREC_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
scripts/build.sh main
root=$(pwd)
tidemark=$root/build/bin/tidemark

work=$(mktemp -d "${TMPDIR:-/tmp}/tidemark-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TIDEMARK_VREC_DIR=$work/vrec
export XDG_CONFIG_HOME=$work/config # the user's settings file stays out of it
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-1765000000}

step() { printf '\n== %s\n' "$*"; }
run() {
  printf '$ tidemark %s\n' "$*"
  "$tidemark" "$@"
}

# A small tree to record: this repository's sources and a few odd names.
tree=$work/tree
mkdir -p "$tree/docs" "$tree/Ünïcödé folder"
cp -r "$root/src/cli" "$tree/cli-sources"
cp "$root/README.md" "$tree/docs/"
printf 'hello from the first session\n' >"$tree/docs/hello.txt"
printf 'a name with spaces and accents\n' >"$tree/Ünïcödé folder/Café menu.txt"
head -c 3000000 /dev/urandom >"$tree/random.bin"
second=$work/second
mkdir -p "$second"
printf 'added in the second session\n' >"$second/later.txt"

step "The virtual recorder with a blank CD-R, speed emulation off"
run vrec insert CD-R
run vrec speed fast
run devices
run info
run disc

step "First session: burned and left open for more"
run burn --quiet --volume DEMO "$tree/docs" "$tree/cli-sources" "$tree/Ünïcödé folder" "$tree/random.bin"
run disc
run ls -l

step "Second session: the disc continued with a new file"
run burn --quiet --continue --volume DEMO2 "$second/later.txt"
run disc
run ls --session 1
run ls --session 2

step "Extracting from the disc and comparing with the sources"
mkdir -p "$work/out"
run extract /docs "$work/out/docs"
run extract "/Ünïcödé folder/Café menu.txt" "$work/out/cafe.txt"
diff -r "$tree/docs" "$work/out/docs"
cmp "$tree/Ünïcödé folder/Café menu.txt" "$work/out/cafe.txt"
echo "extracted files are identical to their sources"

step "Independent readers: xorriso through the recorder, isoinfo on a dump"
run vrec dump -o "$work/disc.bin"
"$tidemark" vrec run -- xorriso -indev /dev/sr0 -find / -type f 2>/dev/null | sort
isoinfo -d -i "$work/disc.bin" | grep -E 'Volume id|Volume size|Joliet'
isoinfo -J -f -i "$work/disc.bin" | sort

step "The same compilation saved as an image and burned to a DVD+R"
run mkiso --quiet -o "$work/demo.iso" --volume DEMO "$tree/docs" "$tree/cli-sources" "$tree/Ünïcödé folder" "$tree/random.bin"
ls -l "$work/demo.iso"
run vrec insert DVD+R
run burn-image --quiet "$work/demo.iso"
run disc
run vrec dump -o "$work/dvd.bin"
size=$(stat -c %s "$work/demo.iso")
cmp -n "$size" "$work/demo.iso" "$work/dvd.bin"
echo "the DVD+R holds the image byte for byte"

step "A rewritable disc: burned, blanked, burned again"
run vrec insert CD-RW
run burn --quiet "$tree/docs"
run erase
run disc
run burn --quiet "$second/later.txt"
run ls -l

step "Done: every step succeeded"
