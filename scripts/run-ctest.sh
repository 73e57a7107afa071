#!/usr/bin/env bash
# Runs one build tree's tests; further arguments go to ctest (-L app: the desktop program's only).
# Leak reports from the GL driver and fontconfig's caches are not ours.
set -euo pipefail
build="$1"
here="$(cd "$(dirname "$0")" && pwd)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Mesa unloads its driver when a GL test terminates its EGL display; LeakSanitizer then reports what the
# driver kept from an "<unknown module>" that lsan.supp cannot name. Under the sanitizers the driver is
# preloaded so that it stays mapped and its leaks match the "_dri.so" suppression.
dri=/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so
if grep -q '^LUMATEX_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null && [ -e "$dri" ]; then
  export LD_PRELOAD="$dri${LD_PRELOAD:+ $LD_PRELOAD}"
  export ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0"
fi

cd "$build"
# The desktop program's tests need an X display: a private Xvfb, stopped however the run ends.
if [ -x bin/test_app ] && command -v Xvfb >/dev/null; then
  exec bash "$here/with-xvfb.sh" ctest --output-on-failure -j "$(nproc)" --timeout 600 "${@:2}"
fi
[ -x bin/test_app ] && echo "run-ctest: Xvfb is missing (scripts/install-deps.sh installs it)." >&2
ctest --output-on-failure -j "$(nproc)" --timeout 600 "${@:2}"
