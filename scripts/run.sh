#!/usr/bin/env bash
# Builds Pelmora and runs it on the embedded default: a throwaway local
# PostgreSQL with demo tables, and a copy of the bundled sample Access file.
# The fields are filled from a separate demo settings file, so your own
# settings (~/.config/Halvex/Pelmora.conf) are not touched.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

ensure_packages
build_project "$PELMORA_ROOT/build"
bin="$PELMORA_ROOT/build/bin"

demo=$(mktemp -d /tmp/pelmora-demo.XXXXXX)
trap 'stop_postgres; rm -rf "$demo"' EXIT
start_postgres "$demo/cluster"
PGPASSWORD=$PELMORA_TEST_PG_PASSWORD psql -q -h 127.0.0.1 -p "$PELMORA_TEST_PG_PORT" -U pelmora -d postgres \
  -c "CREATE DATABASE demo" >/dev/null
PGPASSWORD=$PELMORA_TEST_PG_PASSWORD psql -q -h 127.0.0.1 -p "$PELMORA_TEST_PG_PORT" -U pelmora -d demo \
  -f "$PELMORA_ROOT/scripts/demo.sql" >/dev/null
echo "Demo PostgreSQL on 127.0.0.1:$PELMORA_TEST_PG_PORT (user pelmora, password pelmora-test, database demo)"

# The target: a writable copy of the sample database that the build generates.
target="$demo/demo.mdb"
if [ -f "$bin/Samples/sample.mdb" ]; then cp "$bin/Samples/sample.mdb" "$target"; fi

export PELMORA_SETTINGS_FILE="$demo/settings.conf"
cat > "$PELMORA_SETTINGS_FILE" <<CONF
[Pelmora]
PostgreSQLServer=127.0.0.1
PostgreSQLPort=$PELMORA_TEST_PG_PORT
PostgreSQLUser=pelmora
PostgreSQLPassword=pelmora-test
PostgreSQLDatabase=demo
AccessMDBFile=$target
AccessPassword=
Check1=0
Option1=True
Option2=False
CONF
chmod 600 "$PELMORA_SETTINGS_FILE"

if [ -x "$bin/pelmora" ]; then
  "$bin/pelmora" "$@"
else
  echo "The main window is not built yet; tables of the demo database:"
  PGPASSWORD=$PELMORA_TEST_PG_PASSWORD psql -h 127.0.0.1 -p "$PELMORA_TEST_PG_PORT" -U pelmora -d demo -c '\dt'
fi
