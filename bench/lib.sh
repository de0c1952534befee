# shellcheck shell=bash
# What the benchmarks' run.sh scripts share. Sourced with root set to the repository.

source "${root:?}/scripts/testenv.sh"

# Builds TARGET of the Windows build, optimised; quiet unless the build fails.
bench_build() {
  local log
  log=$(mktemp)
  if ! { cmake -S "$root" -B "$root/build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" &&
    cmake --build "$root/build/win64" -j "${QUORVANT_JOBS:-2}" --target "$1"; } >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

# A throwaway Wine prefix and display of its own, stopped when the script ends; with
# "session", a desktop session in it too. Then the conditions every report starts with.
bench_wine_start() {
  QUORVANT_OWN_DISPLAY=1 quorvant_env_start || return 1
  trap quorvant_env_stop EXIT
  if [[ ${1:-} == session ]]; then quorvant_env_start_session "$root/build/win64/bin"; fi
  echo "wine $(wine --version), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
}

# What the array named $1 counted between the samples "$2.begin" and "$2.end" that
# quorvant_sampling_driver took, or nothing when one is missing.
bench_delta() {
  local -n counts=$1
  local b=${counts[$2.begin]:-} e=${counts[$2.end]:-}
  [[ -n $b && -n $e ]] && echo $((e - b))
}
