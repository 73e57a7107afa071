#!/usr/bin/env bash
# The one list of Debian packages Lumatex needs to build, run and test. Idempotent; quick when all is present.
set -euo pipefail

PACKAGES=(
  # toolchain
  cmake ninja-build g++ pkg-config clang-14 libclang-rt-14-dev clang-format
  # OpenGL: libepoxy for the entry points, EGL on Mesa (llvmpipe) for headless contexts, GLU for mip-maps
  libepoxy-dev libegl-dev libegl-mesa0 libgl-dev libgl1-mesa-dri libglu1-mesa-dev
  # codecs and fonts
  libjpeg62-turbo-dev libpng-dev libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  # cameras (v4l2) and test sources (lavfi) through FFmpeg's input devices
  libavdevice-dev
  # sound: resampling (also for rendered videos), the sound server's client library; the tests' private
  # server and its recorder
  libswresample-dev libpulse-dev pulseaudio pulseaudio-utils
  # the spectrum of sound-reactive effects
  libkissfft-dev
  # remote control: OSC (liblo; oscsend for the tests) and MIDI through the ALSA sequencer
  liblo-dev liblo-tools libasound2-dev
  libfreetype-dev libfontconfig-dev fonts-liberation2
  # effect files: their JSON headers and the size formulas of their passes
  nlohmann-json3-dev libmuparser-dev
  # the Qt application; fonts-wine: metric twins of the window faces "Tahoma" and "MS Sans Serif"
  qt6-base-dev fonts-wine
  # tests and benchmarks: reference decoders/encoders and a display for UI tests
  libgtest-dev libgmock-dev libbenchmark-dev imagemagick ffmpeg xvfb xauth
  # the output window on a second monitor: Xvfb never lists a monitor added with xrandr, the X.Org server
  # with its dummy driver does (scripts/with-two-monitors.sh)
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  # finding the main window for the README's screenshot (scripts/screenshot.sh)
  xdotool
  # the Debian package (CPack: dpkg-shlibdeps needs file and dpkg-dev) and its checks: lintian, the desktop
  # entry's and the AppStream metadata's validators, man for the man pages' own check
  dpkg-dev file lintian desktop-file-utils appstream man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
