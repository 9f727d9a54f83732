#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (the main build uses g++) and, with
# "run SECONDS", runs the open/read target on a corpus seeded with the Access
# fixtures of ../shared.
#
#   tests/fuzz/build.sh            # build into build-fuzz/
#   tests/fuzz/build.sh run 60     # build, then fuzz for 60 seconds
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
out=${PELMORA_FUZZ_DIR:-$root/build-fuzz}
mkdir -p "$out"
cxx=${CXX_FUZZ:-clang++}
sources=$(find "$root/platform/jet" -name '*.cpp' | sort)
"$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" $sources "$root/tests/fuzz/open_read_fuzz.cpp" -lfmt -o "$out/open_read_fuzz"
echo "built $out/open_read_fuzz"

if [ "${1:-}" = run ]; then
  seconds=${2:-60}
  corpus="$out/corpus"
  mkdir -p "$corpus"
  shared="${PELMORA_SHARED:-$root/../shared}"
  if [ -d "$shared/fixtures/access" ]; then
    # Small fixtures as seeds (the fuzzer mutates whole files).
    find "$shared/fixtures/access" \( -name '*.mdb' -o -name '*.accdb' \) -size -400k -exec cp -n {} "$corpus/" \;
  fi
  "$out/open_read_fuzz" "$corpus" -max_total_time="$seconds" -max_len=1048576 -rss_limit_mb=2048 \
    -timeout=10 -print_final_stats=1
fi
