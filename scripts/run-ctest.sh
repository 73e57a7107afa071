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

# The desktop program's tests need an X display: a private Xvfb on a display number it finds free itself
# (-displayfd), stopped by its process id however the run ends.
xvfb_pid=""
xvfb_dir=""
stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  [ -n "$xvfb_dir" ] && rm -rf "$xvfb_dir"
  return 0
}
trap stop_xvfb EXIT
if [ -x "$build/bin/test_app" ]; then
  if ! command -v Xvfb >/dev/null; then
    echo "run-ctest: Xvfb is missing (scripts/install-deps.sh installs it); the app tests will skip." >&2
  else
    xvfb_dir="$(mktemp -d)"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$xvfb_dir/display" 2>"$xvfb_dir/log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
      [ -s "$xvfb_dir/display" ] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -s "$xvfb_dir/display" ]; then
      export DISPLAY=":$(head -n1 "$xvfb_dir/display")"
    else
      cat "$xvfb_dir/log" >&2
      echo "run-ctest: Xvfb did not start; the app tests will skip." >&2
    fi
  fi
fi

cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 600 "${@:2}"
