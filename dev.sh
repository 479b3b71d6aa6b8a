#!/usr/bin/env bash
# One entry point for development: installs what is missing, builds, tests,
# runs the simulated appliance.
# Usage: ./dev.sh {deps|build|test|format|demo [--shell]|bench|package|fuzz [SECONDS]|load|tsan|
#                  coverage|mutants [N [SEED]]}
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=${JOBS:-$(nproc)}

PACKAGES=(
  build-essential cmake pkg-config git clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libboost-dev libpugixml-dev libssl-dev libcrypt-dev openssl
  isc-dhcp-server isc-dhcp-client net-tools iproute2 iputils-ping iputils-arping
  sblim-wbemcli curl procps psmisc util-linux busybox python3
  scdoc lintian file ucf dpkg-dev systemd
)

log() { printf '\n== %s\n' "$*"; }

# Only the benchmarks use these: the lease rebuild is compared with dhcpd-pools.
BENCH_PACKAGES=(dhcpd-pools)

# Only the fuzzing uses these: clang with libFuzzer and the sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# Only the coverage report uses these (its build goes through ccache).
COVERAGE_PACKAGES=(gcovr ccache)

# Only the mutation run uses these: Ninja, ccache and lld make its many rebuilds cheaper.
MUTANTS_PACKAGES=(lld ccache ninja-build)

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

# The tracked C and C++ files, NUL-separated.
cxx_files() { git ls-files -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp'; }

# format: applies .clang-format to the tracked C and C++ files.
format() {
  log "formatting the C and C++ files"
  cxx_files | xargs -0 -r clang-format -i
}

check_format() {
  log "formatting check"
  if ! cxx_files | xargs -0 -r clang-format --dry-run -Werror; then
    echo "dev.sh: C/C++ files above are not formatted; run ./dev.sh format" >&2
    return 1
  fi
}

run_tests() {
  log "unit tests"
  ctest --test-dir build -L '^unit$' --output-on-failure -j"$JOBS"
  log "unit tests under ASan+UBSan"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -L '^unit$' --output-on-failure -j"$JOBS"
  log "system and interop tests"
  ctest --test-dir build -L '^(system|interop)$' --output-on-failure
  # The agent of the sanitizer build serves CIM in the sandbox; the tests
  # fail on any finding in its log.
  log "agent under ASan+UBSan in the sandbox"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -R '^(tavrel_rangeprov_system_test|tavrel_dhcpd_sandbox_test|tavrel_change_model_system_test)$' \
    --output-on-failure
}

# fuzz [SECONDS [TARGET...]]: builds every fuzz target with libFuzzer, ASan
# and UBSan (build-fuzz/) and runs each (or the named ones, without the
# "fuzz_" prefix) for SECONDS (default 60), one after another,
# over a working corpus (build-fuzz/corpus/<target>) seeded from the
# repository. Crashes land in build-fuzz/crashes/; the run fails if any
# target found one. A summary line per target: executions, coverage, features.
fuzz() {
  local seconds=${1:-60}
  shift || true
  local only="$*"
  log "fuzz build (build-fuzz/)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DTAVREL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build-fuzz --target tavrel_fuzzers -j"$JOBS"
  mkdir -p build-fuzz/corpus build-fuzz/crashes build-fuzz/logs
  local failed=0 name seeds
  while read -r name seeds; do
    [ -n "$name" ] || continue
    [ -z "$only" ] || [[ " $only " == *" ${name#fuzz_} "* ]] || continue
    log "fuzzing $name for ${seconds}s"
    mkdir -p "build-fuzz/corpus/$name"
    # libFuzzer reads corpora from directories: the seeds join the working
    # one, named by their content as libFuzzer names its own inputs.
    local seed
    # shellcheck disable=SC2086  # seeds is a list of paths
    find $seeds -type f | while read -r seed; do
      cp "$seed" "build-fuzz/corpus/$name/$(sha1sum <"$seed" | cut -d' ' -f1)"
    done
    if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        nice "build-fuzz/bin/$name" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="build-fuzz/crashes/$name-" "build-fuzz/corpus/$name" \
        >"build-fuzz/logs/$name.log" 2>&1; then
      failed=1
      echo "$name: FOUND A CRASH (build-fuzz/logs/$name.log, build-fuzz/crashes/)"
    fi
    local runs cov ft
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build-fuzz/logs/$name.log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "build-fuzz/logs/$name.log" | tail -1 || true)
    ft=$(grep -o 'ft: [0-9]*' "build-fuzz/logs/$name.log" | tail -1 || true)
    echo "$name: ${runs:-?} executions, ${cov:-cov: ?} edges, ${ft:-ft: ?} features, corpus $(ls "build-fuzz/corpus/$name" | wc -l) inputs"
  done < build-fuzz/fuzz_targets.txt
  return $failed
}

# tsan: the system tests in which CIM requests on the provider agent's
# threads (TCP and the Unix socket each have a worker) meet the agent's main
# loop, the lease watch, the probes and the dhcpd supervision, against a
# ThreadSanitizer build (build-tsan/). The tests fail on any report in the
# agent's log or on the agent's exit status (66 after a report).
TSAN_TESTS='^(tavrel_rangeprov_system_test|tavrel_lease_system_test|tavrel_dhcpd_sandbox_test|tavrel_agent_system_test|tavrel_security_system_test|tavrel_foreign_server_system_test)$'
tsan() {
  log "ThreadSanitizer build (build-tsan/)"
  cmake -S . -B build-tsan -DTAVREL_TSAN=ON -DTAVREL_WERROR=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build-tsan -j"$JOBS" --target TavrelAgent Tavrel tavrel_rangeprov_system_test \
    tavrel_lease_system_test tavrel_dhcpd_sandbox_test tavrel_agent_system_test \
    tavrel_security_system_test tavrel_foreign_server_system_test
  log "system tests under ThreadSanitizer"
  TSAN_OPTIONS=halt_on_error=0:second_deadlock_stack=1 \
    ctest --test-dir build-tsan -R "$TSAN_TESTS" --output-on-failure
}

# Product code measured by the coverage report: the components, the
# OpenWBEM-compatible layer and the platform stand-ins, without their tests,
# test helpers, fuzz targets and benchmarks.
COVERAGE_FILTERS=(agent/ DHCP/dhcpprov/ netkeel/ corvane/ openwbem/ platform/)
COVERAGE_EXCLUDES=('(.*/)?tests?/' '.*_test[._]' '(.*/)?test_' '.*_fuzz\.' '(.*/)?fuzz/' '(.*/)?bench/')
# Fixed options, so that runs compare: a branch only an exception can take,
# and branches the compiler proves unreachable, are not counted.
GCOVR_OPTIONS=(--exclude-throw-branches --exclude-unreachable-branches)

# coverage: a build with gcov counters (build-coverage/, -O0), the unit tests
# and the system and interop tests run against it, then one line: the line
# and branch coverage of the product code. Details in
# build-coverage/coverage.txt; the run fails if a test failed.
coverage() {
  log "coverage build (build-coverage/)"
  cmake -S . -B build-coverage -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS="--coverage -O0" -DCMAKE_CXX_FLAGS="--coverage -O0" \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage \
    -DCMAKE_MODULE_LINKER_FLAGS=--coverage \
    -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
  CCACHE_BASEDIR=${CCACHE_BASEDIR:-$ROOT} nice -n 5 cmake --build build-coverage -j"$JOBS"
  # Counters from an earlier run would add to this one.
  find build-coverage -name '*.gcda' -delete
  local failed=0
  log "unit tests (coverage build)"
  ctest --test-dir build-coverage -L '^unit$' --output-on-failure -j"$JOBS" || failed=1
  log "system and interop tests (coverage build)"
  # A sandbox set-up can fail on a loaded machine; a second try keeps the
  # figures from depending on it (counters only add up).
  ctest --test-dir build-coverage -L '^(system|interop)$' --output-on-failure --repeat until-pass:2 || failed=1
  log "coverage report"
  # gcov runs where each object was compiled (ccache gives relative source
  # paths): gcovr finds that directory among the parents of each data file.
  local args=(-r "$ROOT" -j "$JOBS" "${GCOVR_OPTIONS[@]}") f
  for f in "${COVERAGE_FILTERS[@]}"; do args+=(--filter "$f"); done
  for f in "${COVERAGE_EXCLUDES[@]}"; do args+=(--exclude "$f"); done
  nice -n 5 gcovr "${args[@]}" --txt build-coverage/coverage.txt --json-summary build-coverage/coverage.json \
    build-coverage >/dev/null
  python3 - build-coverage/coverage.json <<'PY'
import json, sys
s = json.load(open(sys.argv[1]))
print(f"coverage: lines {s['line_percent']:.1f}% ({s['line_covered']}/{s['line_total']}), "
      f"branches {s['branch_percent']:.1f}% ({s['branch_covered']}/{s['branch_total']})")
PY
  [ $failed -eq 0 ] || echo "coverage: some tests failed (see above); the figures count what ran" >&2
  return $failed
}

# Debian packages into build/packages/, checked with lintian.
package() {
  log "Debian packages (build/packages/)"
  "$ROOT/packaging/build-packages.sh" build build/packages
}

case "${1:-}" in
  deps) deps ;;
  build) deps; build ;;
  test) deps; check_format; build; build_asan; run_tests ;;
  format) deps; format ;;
  demo) deps; build; shift; exec "$ROOT/tools/demo.sh" "$ROOT/build" "$@" ;;
  bench) deps "${BENCH_PACKAGES[@]}"; build; ctest --test-dir build -L '^bench$' --output-on-failure -V ;;
  package) deps; build; package ;;
  fuzz) deps "${FUZZ_PACKAGES[@]}"; shift; fuzz "$@" ;;
  tsan) deps; tsan ;;
  load) deps; build; ctest --test-dir build -L '^load$' --output-on-failure -V ;;
  coverage) deps "${COVERAGE_PACKAGES[@]}"; coverage ;;
  mutants) deps "${MUTANTS_PACKAGES[@]}"; shift; exec python3 "$ROOT/tools/mutants.py" "$@" ;;
  *) echo "usage: $0 {deps|build|test|format|demo|bench|package|fuzz [SECONDS]|load|tsan|coverage|mutants [N [SEED]]}" >&2; exit 2 ;;
esac
