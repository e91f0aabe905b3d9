# Sourced by the benchmarks: a private work directory in WORK and a list of
# started processes in PIDS, both gone at exit (the processes last started
# ended first).
#   bench_work NAME
# shellcheck shell=bash disable=SC2034  # what it sets is for the sourcing script
. "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib/proc.sh"
bench_work() {
    WORK=$(mktemp -d "/tmp/$1.XXXXXX")
    PIDS=()
    trap bench_cleanup EXIT
}
bench_cleanup() {
    stop_spawned
    rm -rf "$WORK"
}
