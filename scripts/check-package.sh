#!/usr/bin/env bash
# Builds the Debian package from a built tree (no second build: CPack installs what is there), checks it with
# lintian, unpacks it into a scratch folder (dpkg-deb -x, nothing is installed on the machine) and renders the
# bundled sample picture through a bundled preset with the unpacked lumatex-render, which finds the unpacked
# data through XDG_DATA_DIRS alone. Prints the package's name, size and dependencies.
#   scripts/check-package.sh [BUILD_FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
preset="Old Film"

cmake --build "$build" --target package
deb="$(ls -t "$build"/package/lumatex_*_amd64.deb | head -n1)"
[ -s "$deb" ] || { echo "check-package: no package in $build/package" >&2; exit 1; }

# Errors fail the check; warnings and notes are shown for whoever wants to tidy them.
lintian --fail-on error --tag-display-limit 0 "$deb"

# apt would install it with its dependencies (a simulation: nothing is installed).
apt-get install --simulate -qq "$deb" >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/unpacked"
mkdir -p "$work/home"
sample="$build/bin/media/sample.jpg"
[ -s "$sample" ] || bash "$root/scripts/make-media.sh" "$build/bin/media"

render() {
  env -i PATH="$PATH" HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" \
    XDG_DATA_DIRS="$work/unpacked/usr/share" "$work/unpacked/usr/bin/lumatex-render" "$@"
}
render "$sample" "$work/plain.bmp"
render --preset "$preset" "$sample" "$work/preset.bmp" 2>"$work/stderr"
if [ -s "$work/stderr" ]; then
  cat "$work/stderr" >&2
  echo "check-package: the unpacked renderer complained" >&2
  exit 1
fi
if cmp -s "$work/plain.bmp" "$work/preset.bmp"; then
  echo "check-package: the preset \"$preset\" changed nothing: the unpacked data was not found" >&2
  exit 1
fi
# The unpacked desktop program answers without a display, so its libraries are all there.
env -i PATH="$PATH" HOME="$work/home" "$work/unpacked/usr/bin/lumatex" --version

echo "check-package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB (installed $(dpkg-deb -f "$deb" Installed-Size) KiB)"
echo "check-package: Depends: $(dpkg-deb -f "$deb" Depends)"
