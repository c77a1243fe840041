#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the plain build, then the same suite built
# with AddressSanitizer + UBSan and with ThreadSanitizer.
#   scripts/test.sh            all three builds
#   QV_BUILDS="plain" scripts/test.sh   only the named builds (plain, asan, tsan)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

jobs=$(nproc)
builds=${QV_BUILDS:-"plain asan tsan"}
build_root=${QV_BUILD_ROOT:-"$root/build"}

broker_started=0
cleanup() {
  if [ "$broker_started" = 1 ]; then bash scripts/broker.sh stop || true; fi
}
trap cleanup EXIT
if [ -f scripts/broker.sh ]; then
  # Stop at the end only a broker that this run started.
  bash scripts/broker.sh status >/dev/null 2>&1 || broker_started=1
  bash scripts/broker.sh start
fi

for b in $builds; do
  case "$b" in
    plain) sanitize="" ;;
    asan) sanitize="address" ;;
    tsan) sanitize="thread" ;;
    *) echo "unknown build: $b" >&2; exit 2 ;;
  esac
  dir="$build_root/$b"
  echo "=== build: $b ==="
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE="$sanitize" -DQV_BUILD_BENCH=OFF >/dev/null
  cmake --build "$dir" -j"$jobs"
  echo "=== tests: $b ==="
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
  ctest --test-dir "$dir" --output-on-failure -j"$jobs"
done
