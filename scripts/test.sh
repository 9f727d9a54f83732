#!/usr/bin/env bash
# Builds Pelmora and runs every test against a throwaway PostgreSQL server.
# Usage: bash scripts/test.sh [ctest arguments...]
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# The layout rule first: a wrong include fails at once, before the build.
bash "$PELMORA_ROOT/scripts/check_includes.sh"

ensure_packages
ensure_node_modules
export_shared
build_project "$PELMORA_ROOT/build"

pg_dir=$(mktemp -d /tmp/pelmora-pg.XXXXXX)
trap 'stop_postgres; rm -rf "$pg_dir"' EXIT
start_postgres "$pg_dir/cluster"
echo "PostgreSQL on 127.0.0.1:$PELMORA_TEST_PG_PORT"

export QT_QPA_PLATFORM=offscreen
# CI=true comes from the CI machine (never set here). With ../shared present it
# turns a test that lacks a fixture, reader, tool or the test PostgreSQL from a
# skip into a failure (tests/support/environment.h).
if [ "${CI:-}" = true ] && [ -n "${PELMORA_SHARED:-}" ]; then
  echo "CI: every test must run; a missing prerequisite fails its test"
elif [ -z "${PELMORA_SHARED:-}" ]; then
  echo "No ../shared: the tests that need its fixtures are skipped"
fi
ctest --test-dir "$PELMORA_ROOT/build" --output-on-failure -j"$(nproc)" "$@"
