#!/usr/bin/env bash
# Runs the libFuzzer targets of a native clang build, each for SECONDS, starting from a fresh
# copy of the seeds committed beside this script. Fails when any fuzzer reports a crash, a
# sanitizer finding, a broken property or a hang.
#
#   tests/fuzz/run_fuzzers.sh BUILD_DIR SECONDS [FUZZER...]
#
# Without FUZZER names every fuzzer runs. The working corpus, the log and any input that broke
# a fuzzer are kept in BUILD_DIR/tests/fuzz/runs/FUZZER/, never in the source tree. To replay
# such an input: BUILD_DIR/tests/fuzz/FUZZER INPUT_FILE
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS [FUZZER...]" >&2
  exit 2
fi
build=$(cd "$1" && pwd) || exit 2
seconds=$2
shift 2
seeds=$(cd "$(dirname "$0")" && pwd)/seeds
fuzzers=("$@")
[ ${#fuzzers[@]} -eq 0 ] && fuzzers=(fuzz_command_line fuzz_install_plan fuzz_os_class)

# The command line and the base directory are at most a few hundred bytes in the program.
kMaxLength=300
# No input of these small functions takes anywhere near this long unless it loops for ever.
kHangSeconds=10

export UBSAN_OPTIONS=print_stacktrace=1
# Reports name functions and lines only when the sanitizers find a symbolizer; Debian's
# llvm-14 installs it under a versioned name only.
if ! command -v llvm-symbolizer >/dev/null && command -v llvm-symbolizer-14 >/dev/null; then
  ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer-14)
  export ASAN_SYMBOLIZER_PATH
fi

# The report of what went wrong, from its first line on; the log's end when none is found.
ShowFinding() {
  local first
  first=$(grep -m1 -n -E 'broken property|==ERROR|runtime error|deadly signal|ALARM|out-of-memory' \
    "$1" | cut -d: -f1)
  tail -n +"${first:-1}" "$1" | head -n 60
}

# Runs one fuzzer from a fresh copy of its seeds.
RunFuzzer() {
  local name=$1
  local binary=$build/tests/fuzz/$name
  local run=$build/tests/fuzz/runs/$name
  if [ ! -x "$binary" ]; then
    echo "$name: not built at $binary (configure natively with CXX=clang++-14)" >&2
    return 1
  fi
  rm -rf "$run"
  mkdir -p "$run/corpus" "$run/artifacts"
  cp "$seeds/$name"/* "$run/corpus/"
  if "$binary" -max_total_time="$seconds" -max_len=$kMaxLength -timeout=$kHangSeconds \
      -print_final_stats=1 -artifact_prefix="$run/artifacts/" "$run/corpus" >"$run/log" 2>&1; then
    local runs inputs
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log")
    inputs=$(find "$run/corpus" -type f | wc -l)
    echo "$name: clean after $runs runs in ${seconds}s, corpus of $inputs inputs"
    return 0
  fi
  echo "$name: FAILED; log in $run/log, the input that broke it in $run/artifacts/" >&2
  ShowFinding "$run/log" >&2
  return 1
}

passed=0
failed=0
for name in "${fuzzers[@]}"; do
  if RunFuzzer "$name"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
