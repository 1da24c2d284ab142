#!/usr/bin/env bash
# Runs a program with umockdev's preload library. A sanitizer build wants its
# runtime loaded first; the preload library comes before it, so that check is
# turned off (the other sanitizer options stay as given).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
exec umockdev-wrapper "$@"
