#!/usr/bin/env bash
# Builds the 32-bit Windows DLL and the test suite with MinGW-w64 and runs the tests under Wine:
# setup-windows.sh, prepare-windows-deps.sh (cached), the cross build, then ctest.
#   QV_BUILD_ROOT            build folder root (default ./build; this build goes to windows/)
#   QV_WINDOWS_DEPS_CACHE    cache of the dependency prefix and the Wine prefix template
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
start_time=$SECONDS
say() { echo "test-windows: $*"; }

bash scripts/setup-windows.sh
deps=$(bash scripts/prepare-windows-deps.sh | tail -n 1)
cache=${QV_WINDOWS_DEPS_CACHE:-/var/cache/qvmt4-windows-deps}
jobs=${QV_JOBS:-$(nproc)}
dir="${QV_BUILD_ROOT:-$root/build}/windows"

# A fresh Wine prefix in a temporary folder for this run, copied from a template that is made once
# per Wine version (making one starts a whole Windows session: slow, most of all under qemu).
wine_key=$({ dpkg-query -W -f='${Version}' wine32:i386; sha256sum scripts/wine-run.sh; } | sha256sum | cut -c1-16)
template="$cache/wineprefix-$wine_key"
if [ ! -f "$template/.complete" ]; then
  say "making the Wine prefix template (once per Wine version)"
  rm -rf "$template.partial"
  mkdir -p "$cache"
  WINEPREFIX="$template.partial" bash scripts/wine-run.sh wineboot --init </dev/null >/dev/null 2>&1
  WINEPREFIX="$template.partial" wineserver --wait
  touch "$template.partial/.complete"
  rm -rf "$template"
  mv "$template.partial" "$template"
fi
run_dir=$(mktemp -d /tmp/qvmt4-wine.XXXXXX)
export WINEPREFIX="$run_dir/prefix"
cp -a "$template" "$WINEPREFIX"

broker_started=0
cleanup() {
  # Only this run's Wine session and broker; nothing that others started.
  WINEPREFIX="$run_dir/prefix" wineserver --kill >/dev/null 2>&1 || true
  rm -rf "$run_dir"
  if [ "$broker_started" = 1 ]; then bash scripts/broker.sh stop || true; fi
}
trap cleanup EXIT
if [ -f scripts/broker.sh ]; then
  bash scripts/broker.sh status >/dev/null 2>&1 || broker_started=1
  bash scripts/broker.sh start
fi

say "cross build in $dir (dependencies: $deps)"
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" -DQV_WINDOWS_DEPS="$deps" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j"$jobs"

# Keep one Wine session alive across the test programs instead of starting one for each.
wineserver --persistent
say "tests under Wine"
status=0
ctest --test-dir "$dir" --output-on-failure -j"$jobs" || status=$?
say "done in $((SECONDS - start_time)) s"
exit "$status"
