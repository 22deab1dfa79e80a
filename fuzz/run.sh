#!/bin/sh
# run.sh -- `make fuzz`: builds the libFuzzer targets with clang and runs each for a bounded time
# usage: fuzz/run.sh PLAIN_BUILD FUZZ_BUILD SECONDS [TARGET...]
# Seeds are the committed corpus in fuzz/corpus/<target> plus the plain build's own data files; what a
# run adds is kept in FUZZ_BUILD/corpus/<target>, and anything that crashes lands in FUZZ_BUILD/findings.
set -eu
plain=$1 out=$2 seconds=$3
shift 3
src=$(cd "$(dirname "$0")/.." && pwd)
targets=${*:-"tga raw bof_static bof_animated gml sync tables timeline replies keys"}

if ! command -v clang++ >/dev/null 2>&1; then
    echo "make fuzz: clang++ not found (install clang and libclang-rt-dev); fuzzing skipped"
    exit 0
fi
# FUZZ_NO_BUILD=1 reuses the fuzzers already built (several campaigns side by side).
if [ -z "${FUZZ_NO_BUILD:-}" ]; then
    cmake -S "$src" -B "$out" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DKERV_FUZZ=ON -DKERV_BUILD_DATA=OFF -DKERV_WERROR=OFF ${FUZZ_CMAKE_ARGS:-} >/dev/null
    cmake --build "$out" --target fuzzers -j"${JOBS:-2}"
fi

# Largest input each target is given: enough for the show's own files, small enough to stay fast.
max_len() {
    case $1 in
    tga) echo 20000 ;; raw | sync | tables | replies | keys) echo 4096 ;; timeline) echo 16384 ;; *) echo 65536 ;;
    esac
}

# The plain build's data files as seeds (copied, so that the fuzzer never writes beside them).
seed() {
    dir=$out/seeds/$1
    rm -rf "$dir" && mkdir -p "$dir"
    data=$plain/data
    case $1 in
    tga) cp "$data"/*.tga "$dir" 2>/dev/null || true ;;
    bof_static) cp "$data"/[a-z0-9].bof "$data"/sky.bof "$dir" 2>/dev/null || true ;;
    bof_animated) cp "$data"/plane64.bof "$dir" 2>/dev/null || true ;;
    gml) cp "$data"/tag.gml "$dir" 2>/dev/null || true ;;
    sync) cp "$data"/sync_*.track "$dir" 2>/dev/null || true ;;
    tables) [ -f "$data/colmap.lut" ] && { printf '\001'; head -c 4000 "$data/colmap.lut"; } >"$dir/colmap_head" || true ;;
    timeline) cp "$src/content/timeline.txt" "$dir" ;;
    esac
    echo "$dir"
}

mkdir -p "$out/findings"
failed=""
for t in $targets; do
    work=$out/corpus/$t
    mkdir -p "$work"
    seeds=$(seed "$t")
    echo "== $t: $seconds s"
    if ! nice "$out/fuzz/kerv16-fuzz-$t" -max_total_time="$seconds" -max_len="$(max_len "$t")" -timeout=30 \
        -rss_limit_mb=2048 -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$out/findings/$t-" \
        "$work" "$src/fuzz/corpus/$t" "$seeds" >"$out/$t.log" 2>&1; then
        failed="$failed $t"
        tail -40 "$out/$t.log"
    fi
    # The coverage and speed the run reached.
    grep -E '^#[0-9]+.*DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb' "$out/$t.log" | tr '\n' ' '
    echo
done
if [ -n "$failed" ]; then
    echo "make fuzz: findings in:$failed (inputs in $out/findings; add each to fuzz/corpus/<target>)"
    exit 1
fi
