#!/usr/bin/env bash
# Runs each fuzz target for a bounded time, seeded with the real agent payloads.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
corpus="$build/corpus/event"
mkdir -p "$corpus" "$build/crashes"
find "$root/tests/fixtures/agents" -name '*.json' -exec cp {} "$corpus/" \;
"$build/fuzz/fuzz_event" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$build/crashes/" "$corpus"
