#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (the main build uses g++), with
# AddressSanitizer and UndefinedBehaviorSanitizer, into build-fuzz/:
#   sql_fuzz        the SQL parser and literal conversion
#   sql_exec_fuzz   statements executed on a scratch copy of an empty database
#   open_read_fuzz  any bytes opened as a database, read and checked
# tests/fuzz/run.sh builds them and runs each for a budget of CPU time.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
out=${PELMORA_FUZZ_DIR:-$root/build-fuzz}
mkdir -p "$out"
cxx=${CXX_FUZZ:-clang++}
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$root")
# The engine and the utilities it uses.
mapfile -t engine < <(find "$root/platform/jet" "$root/platform/util" -name '*.cpp' | sort)

# The engine once as an archive of instrumented objects, then one link per target.
objects="$out/obj"
mkdir -p "$objects"
for source in "${engine[@]}"; do
  object="$objects/$(echo "${source#$root/}" | tr / _).o"
  if [ ! -e "$object" ] || [ "$source" -nt "$object" ] || [ -n "$(find "$root/platform/jet" "$root/platform/util" -name '*.h' -newer "$object" -print -quit)" ]; then
    "$cxx" "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" -c "$source" -o "$object" &
    # two compilers at a time
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do wait -n; done
  fi
done
wait
rm -f "$out/libjet_fuzz.a"
ar rcs "$out/libjet_fuzz.a" "$objects"/*.o

for target in sql_fuzz sql_exec_fuzz open_read_fuzz; do
  "$cxx" "${flags[@]}" "$root/tests/fuzz/$target.cpp" "$out/libjet_fuzz.a" -lfmt -lpugixml -lcrypto -o "$out/$target"
  echo "built $out/$target"
done
