#!/usr/bin/env bash
# Installs the Debian 12 packages Torvane is built, tested and run with.
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config libgtest-dev clang-format
  # the encoders, the player and the media library the program drives
  ffmpeg mencoder mplayer libmediainfo0v5 mediainfo
  # the Hangul font the window and burnt-in subtitles are drawn with
  fonts-nanum
  # the window: Qt 6 Widgets (with D-Bus and QtTest), Qt's own Korean texts, and a virtual
  # display for screenshots
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n xvfb xauth
  # a private session bus for the file-manager tests
  dbus-daemon
  # the update check (HTTPS downloads, SHA-256) and the web panels (Qt's browser control)
  libcurl4-openssl-dev libssl-dev qt6-webengine-dev libqt6webenginecore6-bin
  # flashgrab: drawing, the compressed movie formats, JPEG and video frames; clang's libFuzzer
  libcairo2-dev zlib1g-dev liblzma-dev libjpeg62-turbo-dev libavcodec-dev libavutil-dev libswscale-dev clang
  # flashgrab's device fonts: the system's fonts found through fontconfig, their outlines read with FreeType,
  # and the Latin families Debian prefers for sans-serif and serif, besides the Hangul one above
  libfreetype-dev libfontconfig-dev fonts-noto-core
  # one list spread over machines: GNU parallel, and the one-node Slurm cluster (with MUNGE) the
  # job-array test starts on its own configuration (the packages' system services stay unused)
  parallel slurmctld slurmd slurm-client munge
  # the Debian package: its dependencies read from the binaries, and the checks of the package,
  # its desktop entry and its software-centre data
  dpkg-dev file lintian desktop-file-utils appstream
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: every package is installed"
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing ${missing[*]}"
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
