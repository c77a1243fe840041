#!/usr/bin/env bash
# Builds the 32-bit Windows DLL and the test suite with MinGW-w64 and runs the tests under Wine:
# setup-windows.sh, prepare-windows-deps.sh (cached), the cross build, then ctest.
#   QV_BUILD_ROOT            build folder root (default ./build; this build goes to windows/)
#   QV_WINDOWS_DEPS_CACHE    cache of the dependency prefix and of the Wine prefix template
# Starting Windows programs under Wine is slow where qemu runs it (each start costs about a
# minute of CPU), so the Wine session is started early and kept alive for all test programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
start_time=$SECONDS
say() { echo "test-windows: $*"; }

bash scripts/setup-windows.sh
cache=${QV_WINDOWS_DEPS_CACHE:-/var/cache/qvmt4-windows-deps}
jobs=${QV_JOBS:-$(nproc)}
dir="${QV_BUILD_ROOT:-$root/build}/windows"
run_dir=$(mktemp -d /tmp/qvmt4-wine.XXXXXX)
export WINEPREFIX="$run_dir/prefix"

template_pid=""
holder_pid=""
broker_started=0
cleanup() {
  # Only what this run started: its template maker, its Wine session, its broker.
  [ -z "$template_pid" ] || kill "$template_pid" 2>/dev/null || true
  [ -z "$holder_pid" ] || kill "$holder_pid" 2>/dev/null || true
  [ ! -d "$WINEPREFIX" ] || wineserver --kill >/dev/null 2>&1 || true
  rm -rf "$run_dir"
  if [ "$broker_started" = 1 ]; then bash scripts/broker.sh stop || true; fi
}
trap cleanup EXIT

# The Wine prefix of this run is a copy of a template that is made once per Wine version.
wine_key=$({ dpkg-query -W -f='${Version}' wine32:i386; sha256sum scripts/wine-run.sh; } | sha256sum | cut -c1-16)
template="$cache/wineprefix-$wine_key"
make_template() {
  rm -rf "$template.partial"
  # wineboot may return before the session has finished setting the prefix up (or report a
  # helper that crashed under qemu); the prefix is ready once its session has ended.
  WINEPREFIX="$template.partial" bash scripts/wine-run.sh wineboot --init </dev/null >/dev/null 2>&1 || true
  WINEPREFIX="$template.partial" wineserver --wait || true
  if [ ! -f "$template.partial/system.reg" ] || [ ! -d "$template.partial/drive_c/windows/system32" ]; then
    say "making the Wine prefix failed"
    return 1
  fi
  touch "$template.partial/.complete"
  rm -rf "$template"
  mv "$template.partial" "$template"
}
# Starts this run's Wine session: a console that waits on a pipe keeps it up until the end.
start_session() {
  cp -a "$template" "$WINEPREFIX"
  rm -f "$WINEPREFIX/.complete"
  mkfifo "$run_dir/hold"
  bash scripts/wine-run.sh cmd.exe /k <"$run_dir/hold" >"$run_dir/session.log" 2>&1 &
  sleep 1000000 >"$run_dir/hold" &
  holder_pid=$!
}

mkdir -p "$cache"
if [ -f "$template/.complete" ]; then
  start_session  # boots while the dependencies and the build are prepared
else
  say "making the Wine prefix template in the background (once per Wine version)"
  make_template &
  template_pid=$!
fi

deps=$(bash scripts/prepare-windows-deps.sh | tail -n 1)
say "cross build in $dir (dependencies: $deps)"
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" -DQV_WINDOWS_DEPS="$deps" \
  -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j"$jobs"

if [ -n "$template_pid" ]; then
  say "waiting for the Wine prefix template"
  wait "$template_pid"
  template_pid=""
  start_session
fi

if [ -f scripts/broker.sh ]; then
  bash scripts/broker.sh status >/dev/null 2>&1 || broker_started=1
  bash scripts/broker.sh start
fi

say "tests under Wine (setup and build took $((SECONDS - start_time)) s)"
status=0
ctest --test-dir "$dir" --output-on-failure -j"$jobs" || status=$?
say "done in $((SECONDS - start_time)) s"
exit "$status"
