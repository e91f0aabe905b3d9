# How many compile jobs the build scripts run, unless JOBS says; the
# scripts they start take the same.
# shellcheck shell=bash
export JOBS=${JOBS:-$(nproc)}
