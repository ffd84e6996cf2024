#!/usr/bin/env bash
# scripts/run as a newcomer meets it, in a prefix of its own: a second run
# hands its word to the running Tessaly and leaves it running; Ctrl+C ends
# the first with 130 and says how to stop cleanly.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/common.sh"

prefix=$WINE_DIR/run-test-prefix
fresh_prefix "$prefix"
export TESSALY_WINEPREFIX=$prefix
# A stored configuration, empty: no first start's settings hold the launcher back.
WINEPREFIX=$prefix wine reg add 'HKCU\Software\Norv\Tessaly' /f >/dev/null 2>&1
# Its Wine session ends first, as a newcomer's prefix has none running.
WINEPREFIX=$prefix wineserver -w
has_window() { WINEPREFIX=$prefix wine "$BUILD_DIR/bin/tessaly_window_waiter.exe" "$@" 2>/dev/null; }
log=$WINE_DIR/run-test.log

# Its own process group with Ctrl+C heard, as a terminal gives it (a
# script's background jobs ignore it otherwise).
setsid env --default-signal=INT "$ROOT/scripts/run" 2>"$log" &
first=$!
fail() {
    say "FAIL: $*"
    cat "$log" "$log.second" >&2 2>/dev/null || true
    kill -INT -- "-$first" 2>/dev/null || true
    exit 1
}
# Built and started (the build comes first).
for _ in $(seq 1 240); do
    grep -q "Tessaly runs until" "$log" && break
    sleep 0.5
done
has_window Tessaly_MainWindowClass || fail "Tessaly did not start"

"$ROOT/scripts/run" launcher 2>"$log.second" || fail "the second run failed"
has_window Tessaly_LauncherWindowClass shown || fail "no launcher opened"
kill -0 "$first" 2>/dev/null || fail "the first run ended"
has_window Tessaly_MainWindowClass || fail "the running Tessaly ended"

kill -INT -- "-$first"
status=0
wait "$first" || status=$?
[ "$status" -eq 130 ] || fail "Ctrl+C ended the run with $status"
grep -q "Exit in the tray menu" "$log" || fail "Ctrl+C did not say how to stop cleanly"
! grep -q "Read access denied" "$log" || fail "Wine's notice was not kept out"
say "PASS"
