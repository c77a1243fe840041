#!/usr/bin/env bash
# The main job: sets the machine up, builds the library, the terminal host and the substitute service
# (Release, no tests) into build/demo, starts the local broker and the service, runs one trading
# session through the library's exports, printing every call and its result and the replies, and
# stops what it started.
#   scripts/demo.sh [terminal_host options...]   extra options go to the terminal host
# Settings (environment): QV_DEMO_HOST, QV_DEMO_EMAIL, QV_DEMO_SYSTEM_ID, QV_DEMO_POLL_SECONDS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build_dir="$root/build/demo"
broker_host=${QV_DEMO_HOST:-127.0.0.1}
email=${QV_DEMO_EMAIL:-demo.trader@example.com}
system_id=${QV_DEMO_SYSTEM_ID:-demo-system}
poll_seconds=${QV_DEMO_POLL_SECONDS:-3}

build() {
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build_dir" -j2 --target QvMT4Connector terminal_host qv-substitute-service
}

# What the session talks to: the local broker (left running if it was already up) and the
# substitute service, which answers every signal. stop_services ends only what start_services began.
service_log="$build_dir/substitute-service.log"
service_pid=""
broker_started=0
start_services() {
  bash scripts/broker.sh status >/dev/null 2>&1 || broker_started=1
  bash scripts/broker.sh start
  local ready="$build_dir/substitute-service.ready"
  rm -f "$ready"
  "$build_dir/tools/substitute_service/qv-substitute-service" --host "$broker_host" --ready-file "$ready" \
    >"$service_log" 2>&1 &
  service_pid=$!
  for _ in $(seq 1 150); do
    [ -f "$ready" ] && return
    kill -0 "$service_pid" 2>/dev/null || break
    sleep 0.2
  done
  echo "demo: the substitute service did not start:" >&2
  cat "$service_log" >&2
  exit 1
}
stop_services() {
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
    echo "=== substitute service ==="
    cat "$service_log"
  fi
  if [ "$broker_started" = 1 ]; then bash scripts/broker.sh stop; fi
}

# Runs from the build folder: whatever the session writes (the library's log) stays inside it.
run_session() {
  (cd "$build_dir" && ./tools/terminal_host/terminal_host --library "$build_dir/connector/QvMT4Connector.so" \
    --host "$broker_host" --email "$email" --systemid "$system_id" --poll-seconds "$poll_seconds" "$@")
}

bash scripts/setup.sh
build
trap stop_services EXIT
start_services
echo "=== session ==="
# Seven signals, seven replies: Login, Params, Open, Replace, Close, Cancel, CancelAllPendingSignals.
run_session --expect 7 --strict "$@"
