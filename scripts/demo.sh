#!/usr/bin/env bash
# The main job: sets the machine up, builds the library and the terminal host (Release, no tests)
# into build/demo, and runs one trading session through the library's exports, printing every
# call and its result.
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
  cmake --build "$build_dir" -j2 --target QvMT4Connector terminal_host
}

# What the session talks to. Nothing yet: without a broker the session shows what the library
# answers when it cannot connect.
start_services() { :; }
stop_services() { :; }

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
run_session "$@"
