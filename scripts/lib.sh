# Shared by scripts/test.sh and scripts/run.sh: install what is missing, build,
# and start or stop a throwaway PostgreSQL cluster on 127.0.0.1.

PELMORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PELMORA_PACKAGES=(cmake make g++ pkg-config qt6-base-dev unixodbc-dev odbc-postgresql postgresql mdbtools
  libfmt-dev libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev libssl-dev libpugixml-dev
  fonts-liberation2 clang libclang-rt-14-dev)
# Commands that may come from elsewhere than Debian's packages (a machine may
# carry its own Node.js): installed from Debian only when the command is missing.
PELMORA_COMMANDS=(node:nodejs npm:npm python3:python3)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
  local missing=()
  for p in "${PELMORA_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  for entry in "${PELMORA_COMMANDS[@]}"; do
    command -v "${entry%%:*}" >/dev/null 2>&1 || missing+=("${entry#*:}")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

ensure_node_modules() {
  local dir="$PELMORA_ROOT/tests/readers"
  if [ -f "$dir/package.json" ] && [ ! -d "$dir/node_modules/mdb-reader" ]; then
    (cd "$dir" && npm install --no-audit --no-fund --silent >/dev/null)
  fi
}

build_project() {
  local build_dir=${1:-$PELMORA_ROOT/build}
  cmake -S "$PELMORA_ROOT" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build_dir" -j"$(nproc)"
}

pg_bin() {
  local dir
  dir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  echo "$dir/$1"
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# start_postgres DIR: a new cluster in DIR, superuser pelmora with password
# "pelmora-test", password logins on 127.0.0.1. Exports PELMORA_TEST_PG_*.
start_postgres() {
  local dir=$1
  local run_as=()
  mkdir -p "$dir"
  if [ "$(id -u)" = 0 ]; then
    # The server refuses to run as root.
    chown postgres "$dir"
    # The server must reach its folder; adding search permission keeps the
    # parent's other bits (a shared /tmp stays 1777).
    chmod a+x "$(dirname "$dir")" 2>/dev/null || true
    run_as=(runuser -u postgres --)
  fi
  echo "pelmora-test" > "$dir/.pw"
  "${run_as[@]}" "$(pg_bin initdb)" -D "$dir/data" -U pelmora --pwfile="$dir/.pw" \
    --auth=scram-sha-256 -E UTF8 --locale=C >/dev/null
  PELMORA_TEST_PG_PORT=$(free_port)
  "${run_as[@]}" "$(pg_bin pg_ctl)" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-c listen_addresses=127.0.0.1 -p $PELMORA_TEST_PG_PORT -k $dir -c fsync=off" start >/dev/null
  export PELMORA_TEST_PG_HOST=127.0.0.1 PELMORA_TEST_PG_PORT PELMORA_TEST_PG_USER=pelmora
  export PELMORA_TEST_PG_PASSWORD=pelmora-test PELMORA_TEST_PG_DATABASE=postgres
  PELMORA_PG_DIR=$dir
}

stop_postgres() {
  [ -n "${PELMORA_PG_DIR:-}" ] || return 0
  local run_as=()
  [ "$(id -u)" = 0 ] && run_as=(runuser -u postgres --)
  "${run_as[@]}" "$(pg_bin pg_ctl)" -D "$PELMORA_PG_DIR/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$PELMORA_PG_DIR"
  PELMORA_PG_DIR=
}

export_shared() {
  if [ -d "$PELMORA_ROOT/../shared/fixtures" ]; then
    export PELMORA_SHARED=$(cd "$PELMORA_ROOT/../shared" && pwd)
  fi
}
