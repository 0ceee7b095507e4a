# Shared by scripts/setup, scripts/test and scripts/run. Source it.

CORVEXA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages the project needs: building and testing, looking at real
# windows, fuzzing, and building the Windows programs and running them under
# Wine.
CORVEXA_PACKAGES=(
  build-essential cmake ninja-build qt6-base-dev libqt6test6 qt6-qpa-plugins
  libxerces-c-dev liblzma-dev libgtest-dev xz-utils fonts-noto-cjk ccache
  xvfb xdotool imagemagick
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix wine64 wine
  libcli11-dev nlohmann-json3-dev libudev-dev
  # Charts for the calibration trend; Qt6Charts' CMake package needs the
  # Qt6OpenGL one, which Debian's qt6-charts-dev does not pull in. pdftoppm
  # renders report pages for the screenshots.
  qt6-charts-dev libqt6opengl6-dev poppler-utils
  # The format check.
  clang-format
  # The history: SQLite on the bench, PostgreSQL for a plant (the tests
  # start a throw-away server of their own).
  libsqlite3-dev libpq-dev postgresql
  # The package's manual pages, and the checks of the package, its desktop
  # entry and its AppStream file.
  help2man lintian desktop-file-utils appstream
  # Qt's own words in Chinese (file dialogs, dialog buttons).
  qt6-translations-l10n
)

# Let ccache share objects between clones in different folders (CI builds in
# a fresh clone of its own).
export CCACHE_BASEDIR="$CORVEXA_ROOT" CCACHE_NOHASHDIR=1

log() { printf '\n== %s\n' "$*"; }

# Installs only what dpkg does not report as installed, so a second run on a
# set-up machine needs no network.
install_missing_packages() {
  local missing=() p
  for p in "${CORVEXA_PACKAGES[@]}"; do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] \
      || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y \
    --no-install-recommends "${missing[@]}"
}

# configure_and_build <build dir> [cmake options...]
configure_and_build() {
  local dir=$1; shift
  cmake -S "$CORVEXA_ROOT" -B "$CORVEXA_ROOT/$dir" -G Ninja \
    -DCORVEXA_WERROR=ON "$@" >/dev/null
  cmake --build "$CORVEXA_ROOT/$dir" -j "$(nproc)"
}
