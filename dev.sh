#!/usr/bin/env bash
# One entry point for development: installs what is missing, builds, tests,
# runs the simulated appliance.
# Usage: ./dev.sh {deps|build|test|demo [--shell]|bench|package}
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=${JOBS:-$(nproc)}

PACKAGES=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libboost-dev libpugixml-dev libssl-dev libcrypt-dev openssl
  isc-dhcp-server isc-dhcp-client net-tools iproute2 iputils-ping iputils-arping
  sblim-wbemcli curl procps psmisc util-linux busybox python3
  scdoc lintian file
)

log() { printf '\n== %s\n' "$*"; }

# Only the benchmarks use these: the lease rebuild is compared with dhcpd-pools.
BENCH_PACKAGES=(dhcpd-pools)

# deps [PACKAGE...]: installs what is missing of PACKAGES and the packages given.
deps() {
  local missing=()
  for p in "${PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  # Package scripts must not start services on the host (dhcpd in particular).
  DEBIAN_FRONTEND=noninteractive RUNLEVEL=1 $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
  log "build (build/)"
  cmake -S . -B build -DTAVREL_WERROR=ON >/dev/null
  cmake --build build -j"$JOBS"
}

build_asan() {
  log "sanitizer build (build-asan/)"
  cmake -S . -B build-asan -DTAVREL_SANITIZE=ON -DTAVREL_WERROR=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build-asan -j"$JOBS"
}

run_tests() {
  log "unit tests"
  ctest --test-dir build -L '^unit$' --output-on-failure -j"$JOBS"
  log "unit tests under ASan+UBSan"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -L '^unit$' --output-on-failure -j"$JOBS"
  log "system and interop tests"
  ctest --test-dir build -L '^(system|interop)$' --output-on-failure
}

# Debian packages into build/packages/, checked with lintian.
package() {
  log "Debian packages (build/packages/)"
  "$ROOT/packaging/build-packages.sh" build build/packages
}

case "${1:-}" in
  deps) deps ;;
  build) deps; build ;;
  test) deps; build; build_asan; run_tests ;;
  demo) deps; build; shift; exec "$ROOT/tests/sandbox/demo.sh" "$ROOT/build" "$@" ;;
  bench) deps "${BENCH_PACKAGES[@]}"; build; ctest --test-dir build -L '^bench$' --output-on-failure -V ;;
  package) deps; build; package ;;
  *) echo "usage: $0 {deps|build|test|demo|bench|package}" >&2; exit 2 ;;
esac
