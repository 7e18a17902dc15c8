#!/usr/bin/env bash
# Builds the parser fuzzers natively (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build/fuzz/ and runs each one after the
# other for a fixed time from its seed corpus (fuzz/corpus/<target>/).
#
#   bash scripts/fuzz.sh [-t SECONDS] [TARGET ...]
#
# SECONDS per target: 60 unless -t or FUZZ_SECONDS says otherwise. Prints per
# target the executions, the coverage (cov and ft of libFuzzer's final
# report) and the findings; a finding's input is kept under
# build/fuzz/findings/<target>/ and the script exits with 1.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${FUZZ_SECONDS:-60}"
if [ "${1:-}" = "-t" ]; then seconds="$2"; shift 2; fi

# Every fuzz/<target>.cpp is a target (fuzz/CMakeLists.txt).
order=()
for f in "$root"/fuzz/*.cpp; do order+=("$(basename "$f" .cpp)"); done
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${order[@]}")

# Debian's clang; -fsanitize=fuzzer comes with libclang-rt-14-dev.
packages=(clang-14 libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "fuzz: installing ${missing[*]}"
  "$root/scripts/apt-install" "${missing[@]}"
fi

out="$root/build/fuzz"
for t in "${targets[@]}"; do
  [ -f "$root/fuzz/$t.cpp" ] || { echo "fuzz: no target $t (${order[*]})" >&2; exit 2; }
done
# The fuzz build of the project's CMake (its QUARROW_FUZZ option), native with clang.
cmake -S "$root" -B "$out" -DQUARROW_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE= >/dev/null
echo "fuzz: building ${targets[*]}"
cmake --build "$out" -j"$(nproc)" --target "${targets[@]}"

status=0
summary=()
for t in "${targets[@]}"; do
  work="$out/corpus/$t"          # grows while fuzzing; the seeds stay as they are
  findings="$out/findings/$t"
  mkdir -p "$work" "$findings"
  log="$out/$t.log"
  echo "fuzz: running $t for $seconds s"
  set +e
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$out/$t" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$work" "$root/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  found=$(find "$findings" -type f | wc -l)
  [ "$rc" -ne 0 ] && [ "$found" -eq 0 ] && found=1
  [ "$found" -ne 0 ] && status=1
  summary+=("$(printf '%-18s %12s %6s %6s %9s' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$found")")
done
printf '%-18s %12s %6s %6s %9s\n' target executions cov ft findings
printf '%s\n' "${summary[@]}"
[ "$status" -eq 0 ] || echo "fuzz: findings kept in $out/findings/ (logs: $out/<target>.log)"
exit "$status"
