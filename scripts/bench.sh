#!/bin/bash
# Benchmarks: the device pass over 10 000 and 100 000 device nodes (Google
# Benchmark, optimised build), then the whole cleanup under Wine against the
# installer's own uninstall and against a bare console program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if ! dpkg-query -W -f='${Status}' libbenchmark-dev 2>/dev/null | grep -q "install ok installed"; then
    sudo=; [[ $(id -u) -ne 0 ]] && sudo=sudo
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq libbenchmark-dev >/dev/null
fi

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
echo "== device pass"
build/bench/nrv_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true

if [[ -x scripts/bench-wine.sh ]]; then
    echo
    echo "== under Wine"
    scripts/bench-wine.sh
fi
