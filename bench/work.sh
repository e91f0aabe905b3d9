# Sourced by the benchmarks: a private work directory in WORK and a list of
# started processes in PIDS, both gone at exit (the processes last started
# ended first).
#   bench_work NAME
bench_work() {
    WORK=$(mktemp -d "/tmp/$1.XXXXXX")
    PIDS=()
    trap bench_cleanup EXIT
}
bench_cleanup() {
    local i
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null || true; done
    rm -rf "$WORK"
}
