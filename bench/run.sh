#!/usr/bin/env bash
# Runs every benchmark program of a build folder, each in a fresh temporary HOME.
set -uo pipefail
build=${1:-build/release}
status=0
for program in "$build"/bench/bench_*; do
    [ -f "$program" ] && [ -x "$program" ] || continue
    name=$(basename "$program")
    # The phone page's benchmark drives a real browser.
    if [ "$name" = bench_phone_refresh ] && ! command -v chromium >/dev/null; then
        echo "== phone_refresh: skipped (needs chromium; scripts/install-deps.sh installs it)"
        continue
    fi
    echo "== ${name#bench_}"
    home=$(mktemp -d /tmp/vb-XXXXXX)
    # The start-up, panel and terminal benchmarks measure the desktop on a real X server.
    wrap=()
    case "$name" in bench_app_start|bench_panel_open|bench_terminal_jump) wrap=(xvfb-run -a -s "-screen 0 1280x800x24") ;; esac
    if ! HOME="$home" XDG_CONFIG_HOME= QT_QPA_PLATFORM=offscreen "${wrap[@]}" "$program"; then
        echo "${name#bench_}: FAILED"
        status=1
    fi
    rm -rf "$home"
    echo
done
exit $status
