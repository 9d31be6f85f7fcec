#!/usr/bin/env bash
# The suite under Wine: CTest in the Windows build, every program run through the toolchain's
# wine-run. Usage: test-windows.sh BUILD_DIR [CTEST_ARGS...]
#
# The prefix is made, and Wine's own services started, by one warm-up run before any test, and
# its wineserver is kept up until the suite ends. On a fresh prefix a test that had passed was
# once seen to keep its wine process waiting on the server past its timeout; started this way no
# test is the first to meet a new server. A test that still times out is run once more, so that
# such a stall is told from a test that hangs (which then fails twice).
set -euo pipefail

build=$(cd "$1" && pwd)
shift
cache=${KRELLON_CACHE:-$HOME/.cache/krellon}
wine_run=$cache/qt-6.4.2-mingw/toolchain/wine-run
export WINEPREFIX=${WINEPREFIX:-$cache/qt-6.4.2-mingw/wine}

# The first run makes the prefix where there is none (and waits for its server to end); the
# second starts Wine's services under the server that stays.
"$wine_run" cmd /c rem >/dev/null 2>&1 || true
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
"$wine_run" cmd /c rem >/dev/null 2>&1 || true

cd "$build"
ctest --output-on-failure -j2 --repeat after-timeout:2 "$@"
