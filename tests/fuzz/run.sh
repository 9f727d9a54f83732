#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a budget of CPU time, two at a
# time, then prints executions and crashes per target.
#
#   tests/fuzz/run.sh                 # 600 CPU seconds for each target
#   tests/fuzz/run.sh 60 sql_exec_fuzz
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
bash "$root/tests/fuzz/build.sh"
seconds=${1:-600}
shift || true
exec python3 "$root/tests/fuzz/fuzz.py" --cpu-seconds "$seconds" "$@"
