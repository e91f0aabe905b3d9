#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for a
# bounded time: the tag reader for FUZZ_SECONDS (default 60), the decoders
# behind createSound for DECODER_FUZZ_SECONDS (default 60), the X settings
# list reader for XSETTINGS_FUZZ_SECONDS (default 30). Exits nonzero if
# a fuzzer finds a crash, a leak, undefined behaviour or a hang; the input is
# left in build-fuzz.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
decoder_seconds=${DECODER_FUZZ_SECONDS:-60}
xsettings_seconds=${XSETTINGS_FUZZ_SECONDS:-30}
. "$root/scripts/lib/jobs.sh"

cxx=$(command -v clang++ || command -v clang++-14 || true)
cc=$(command -v clang || command -v clang-14 || true)
if [[ -z $cxx || -z $cc ]]; then
    echo "fuzz.sh: clang is not installed (scripts/install-deps.sh installs it)" >&2
    exit 2
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DOSTREL_FUZZ=ON
cmake --build "$build" -j"$JOBS" --target fuzz_musictag fuzz_decoders fuzz_xsettings

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Leaks of the libraries themselves, each named with its upstream report.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}

# Runs fuzz_NAME for SECONDS with a TIMEOUT per input and inputs up to
# MAX_LEN bytes, from the SEEDS folder; new inputs go to a working corpus in
# the build, the seeds stay untouched.
fuzz() {  # NAME SECONDS TIMEOUT MAX_LEN SEEDS
    local corpus=$build/corpus/$1
    mkdir -p "$corpus"
    "$build/tests/fuzz/fuzz_$1" \
        -max_total_time="$2" -timeout="$3" -rss_limit_mb=2048 -max_len="$4" \
        -print_final_stats=1 -artifact_prefix="$build/$1-" \
        "$corpus" "$5"
}

fuzz musictag "$seconds" 10 8192 "$root/tests/fuzz/corpus/musictag"
# The decoders, seeded with the audio fixtures (one file of each format).
fuzz decoders "$decoder_seconds" 20 65536 "$root/tests/fixtures/audio"
# The settings list another X client writes, seeded with two lists as
# desktops write them.
fuzz xsettings "$xsettings_seconds" 10 4096 "$root/tests/fuzz/corpus/xsettings"
