#!/bin/bash
# Strips a linked program and keeps its debug information beside it:
#   strip_program.sh OBJCOPY PROGRAM
# writes PROGRAM.debug (the symbols and debug sections) and leaves PROGRAM
# without them, with a debug link naming PROGRAM.debug.
#
# The debug link's long section name puts a COFF string table at the end of
# the file, so its length is not a multiple of 8. An Authenticode signature
# pads the file to 8 bytes before it appends itself, and removing the
# signature keeps that padding and writes a PE checksum that counts it. The
# program is padded here the same way, its checksum raised by the padding
# (zero bytes add nothing to the sum, the length is added to it), so that
# removing the signature from a signed release gives back these bytes.
set -euo pipefail
objcopy=$1 program=$2
# objcopy stamps the PE header with the time unless given one: keep the
# link's zero time stamp, in the program and in its debug file.
export SOURCE_DATE_EPOCH=0
cd "$(dirname "$program")"
name=$(basename "$program")
"$objcopy" --only-keep-debug "$name" "$name.debug"
"$objcopy" --strip-all --add-gnu-debuglink="$name.debug" "$name"

size=$(stat -c %s "$name")
pad=$(((8 - size % 8) % 8))
((pad == 0)) && exit 0
u32() { od -An -tu4 -j "$1" -N4 "$name" | tr -d ' '; }
checksum_at=$(($(u32 60) + 88))   # e_lfanew, then signature, file header, 64 bytes of optional header
checksum=$(($(u32 "$checksum_at") + pad))
truncate -s $((size + pad)) "$name"
printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((checksum & 255)) $((checksum >> 8 & 255)) \
    $((checksum >> 16 & 255)) $((checksum >> 24 & 255)))" \
    | dd of="$name" bs=1 seek="$checksum_at" conv=notrunc status=none
