#!/usr/bin/env bash
# Builds the fuzz preset and runs each libFuzzer target for a bounded time on
# a copy of its seed corpus (fuzz/corpus/<name without fuzz_>/). Exits
# non-zero when a target crashes or breaks an invariant; the input that did
# it is kept in build/fuzz/artifacts/.
#   FUZZ_SECONDS  time per target (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-30}"
targets=(fuzz_message_codec)

cmake --preset fuzz
cmake --build --preset fuzz -j 2 --target "${targets[@]}"

artifacts="$PWD/build/fuzz/artifacts"
mkdir -p "$artifacts"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for target in "${targets[@]}"; do
    corpus="$work/${target#fuzz_}"
    cp -r "fuzz/corpus/${target#fuzz_}" "$corpus"
    echo "== $target for ${seconds}s"
    if ! "build/fuzz/fuzz/$target" "$corpus" \
        -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -artifact_prefix="$artifacts/$target-" -print_final_stats=1; then
        echo "$target failed; inputs kept in $artifacts" >&2
        exit 1
    fi
done
