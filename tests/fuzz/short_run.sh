#!/bin/bash
# A short fuzzing run from the seed corpus. libFuzzer writes what it finds
# into its first corpus folder: that is a scratch folder, so the run never
# changes the corpus kept in the repository.
set -euo pipefail
fuzzer=$1 seeds=$2
scratch=$(mktemp -d /tmp/nrv-fuzz-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
"$fuzzer" "$scratch" "$seeds" -runs=10000 -max_len=1024 -seed=1 -print_final_stats=1
