#!/bin/bash
# A short fuzzing run from the seed corpus. libFuzzer writes what it finds
# into its first corpus folder: that is a scratch folder, so the run never
# changes the corpus kept in the repository. Allocation stacks are left out
# of reports: recording them would cost the run a sixth of its speed.
set -euo pipefail
fuzzer=$1 seeds=$2
scratch=$(mktemp -d /tmp/nrv-fuzz-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
ASAN_OPTIONS=malloc_context_size=0 "$fuzzer" "$scratch" "$seeds" -runs=1000 -max_len=1024 -seed=1 -print_final_stats=1
