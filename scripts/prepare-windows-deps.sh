#!/usr/bin/env bash
# Prepares the dependency prefix of the 32-bit Windows build from Debian's own packages and prints
# its path as the last line of standard output:
#   rabbitmq-c   static library built from `apt-get source librabbitmq` (no SSL, tools, tests, docs)
#   pugixml      static library built from `apt-get source pugixml`
#   GoogleTest   built from the sources of Debian's googletest package (/usr/src/googletest)
#   spdlog, fmt  the headers of libspdlog-dev and libfmt-dev, used header-only
# The prefix lives in a cache folder outside the clone, keyed on the package versions, the
# compiler and this script (with the toolchain file), so a repeated run finds it and returns at once.
#   QV_WINDOWS_DEPS_CACHE   cache folder (default /var/cache/qvmt4-windows-deps)
# Needs scripts/setup-windows.sh first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
toolchain="$root/cmake/toolchain-mingw32.cmake"
cache=${QV_WINDOWS_DEPS_CACHE:-/var/cache/qvmt4-windows-deps}
jobs=${QV_JOBS:-2}

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
say() { echo "prepare-windows-deps: $*" >&2; }

installed_version() { dpkg-query -W -f='${Version}' "$1"; }
candidate_version() { apt-cache policy "$1" | awk '/Candidate:/ { print $2; exit }'; }

# Everything that decides the prefix's contents.
key_input() {
  echo "librabbitmq $(candidate_version librabbitmq-dev)"
  echo "pugixml $(candidate_version libpugixml-dev)"
  for p in googletest libspdlog-dev libfmt-dev g++-mingw-w64-i686 mingw-w64-i686-dev; do
    echo "$p $(installed_version "$p")"
  done
  sha256sum "$0" "$toolchain" | awk '{ print $1 }'
}
key=$(key_input | sha256sum | cut -c1-16)
prefix="$cache/$key"

if [ -f "$prefix/.complete" ]; then
  say "cached: $prefix"
  echo "$prefix"
  exit 0
fi

$SUDO mkdir -p "$cache"
# One preparation at a time; a second caller waits and then finds the finished prefix.
exec 9>"$cache/.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# apt-get source needs a deb-src entry; add one for the archive and suite the system already uses.
has_deb_src() {
  grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/
}
if ! has_deb_src; then
  suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
  uri=$(apt-cache policy | awk -v s="$suite/main" '$3 == s { print $2; exit }')
  [ -n "$uri" ] || { say "no deb entry for $suite main to mirror as deb-src"; exit 1; }
  say "adding a deb-src entry for $uri $suite main"
  {
    echo "Types: deb-src"
    echo "URIs: $uri"
    echo "Suites: $suite"
    echo "Components: main"
    [ -f /usr/share/keyrings/debian-archive-keyring.gpg ] &&
      echo "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
  } | $SUDO tee /etc/apt/sources.list.d/qvmt4-deb-src.sources >/dev/null
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -q >&2
fi

work=$(mktemp -d /tmp/qvmt4-windows-deps.XXXXXX)
stage="$prefix.partial"
cleanup() { rm -rf "$work" "$stage"; }
trap cleanup EXIT
rm -rf "$stage"
mkdir -p "$stage/include"

cross_build() {  # source-dir build-name cmake-options...
  local src=$1 name=$2
  shift 2
  say "building $name"
  cmake -S "$src" -B "$work/build-$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQV_WINDOWS_DEPS="$stage" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" "$@" >"$work/$name-configure.log" 2>&1 ||
    { cat "$work/$name-configure.log" >&2; return 1; }
  cmake --build "$work/build-$name" -j"$jobs" >"$work/$name-build.log" 2>&1 ||
    { tail -50 "$work/$name-build.log" >&2; return 1; }
  cmake --install "$work/build-$name" >/dev/null
}

(cd "$work" && apt-get source -q librabbitmq pugixml >"$work/source.log" 2>&1) ||
  { cat "$work/source.log" >&2; exit 1; }
rabbitmq_src=$(find "$work" -maxdepth 1 -type d -name 'librabbitmq-*' | head -1)
pugixml_src=$(find "$work" -maxdepth 1 -type d -name 'pugixml-*' | head -1)

cross_build "$rabbitmq_src" rabbitmq-c -DENABLE_SSL_SUPPORT=OFF -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON \
  -DBUILD_EXAMPLES=OFF -DBUILD_TOOLS=OFF -DBUILD_TOOLS_DOCS=OFF -DBUILD_TESTS=OFF -DBUILD_TESTING=OFF \
  -DBUILD_API_DOCS=OFF
cross_build "$pugixml_src" pugixml -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF
cross_build /usr/src/googletest googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON

# Header-only; copied so that the cross build never sees the rest of /usr/include.
cp -a /usr/include/spdlog /usr/include/fmt "$stage/include/"

key_input >"$stage/.key"
touch "$stage/.complete"
rm -rf "$prefix"
mv "$stage" "$prefix"
say "ready: $prefix"
echo "$prefix"
