#!/usr/bin/env bash
# Installs the Debian packages Korvath needs to build and test, only those
# that are missing. Runs as root (CI) or through sudo.
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  # Rebuilds of unchanged sources come from its store.
  ccache
  qt6-base-dev
  libgtest-dev libgmock-dev
  # The language server's JSON; Neovim is the real client its tests drive.
  nlohmann-json3-dev neovim
  # The call graph picture: Graphviz's layout libraries, Qt's SVG view.
  libgraphviz-dev qt6-svg-dev
  # The oracle of the MATLAB resolution mode's tests; its m library too.
  octave
)
# Optional extras: KORVATH_DEPS="bench fuzz tidy format package windows" adds their packages.
for extra in ${KORVATH_DEPS:-}; do
  case "$extra" in
    # The floor section's corpora: Octave Forge packages and matlab2tikz, real
    # MATLAB-style code apt installs.
    bench) packages+=(libbenchmark-dev time octave-common octave-signal octave-control
                      octave-statistics octave-geometry matlab2tikz) ;;
    fuzz) packages+=(clang libclang-rt-dev) ;;
    tidy) packages+=(clang-tidy python3) ;;
    format) packages+=(clang-format) ;;
    # cpack's Debian generator: dpkg-shlibdeps computes Depends, file finds the binaries.
    package) packages+=(dpkg-dev file) ;;
    # The Windows cross build: compiler, GoogleTest's sources, Wine to run the tests.
    windows) packages+=(g++-mingw-w64-x86-64-posix googletest wine64) ;;
    *) echo "install-deps: unknown extra '$extra'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: please install as root: apt-get install ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
