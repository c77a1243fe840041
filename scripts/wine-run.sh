#!/usr/bin/env bash
# Runs one Windows program under Wine for the cross build's tests (CMake's emulator).
# WINEPREFIX must name a prefix in a temporary folder (scripts/test-windows.sh makes one);
# without it a per-user one under /tmp is used.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/qvmt4-wine-$(id -u)}
# No Mono or Gecko (their installers would stall a headless prefix), no menu entries, and no
# debugger on a crash: a crashing test program just fails.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe,winemenubuilder.exe=d}
unset DISPLAY
exec wine "$@"
