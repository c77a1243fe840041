#!/usr/bin/env bash
# Installs everything the Linux build, the tests and the demo need, from Debian's archive.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  librabbitmq-dev libspdlog-dev libfmt-dev libpugixml-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  rabbitmq-server locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  # Installing rabbitmq-server must not try to start the service (no init system here).
  $SUDO env RUNLEVEL=1 apt-get install -y -q --no-install-recommends "${missing[@]}"
fi


# A locale whose decimal separator is ",", so the tests show that renderings ignore the locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
echo "setup: done"
