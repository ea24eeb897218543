# Installs the Debian packages that building, testing, running and packaging
# need, when any is missing. Sourced by ./run, ./test and packaging/make-deb.
BAROMETER_PACKAGES=(
  cmake make g++ pkg-config ccache
  # the service: sd_notify (service/), and systemd-analyze for its unit
  # (packaging/check)
  libsystemd-dev systemd
  # the pressure record (archive/) and its tests
  libsqlite3-dev sqlite3
  # USB adapters for the module (platform/FtdiLibrary.cpp)
  libftdi1-dev
  # publishing to an MQTT broker (publish/), and its tests' own broker and CA
  libmosquitto-dev mosquitto mosquitto-clients openssl
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libqt6svg6
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation fonts-dejavu-core
  locales
  # the Debian package and its check (packaging/check)
  dpkg-dev file desktop-file-utils appstream lintian
  # the fuzz targets: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev
  # window places under a real window manager (tests/support/with_openbox.sh),
  # and the X connection of that test and of bench/start_time
  xvfb openbox xauth x11-utils libxcb1-dev
  # printing: Qt's print support, and pictures of printed pages in the tests
  libqt6printsupport6 poppler-utils
  # screenshots for the README
  imagemagick
  # the desktop notification's test: a session bus of its own
  dbus-daemon
)

# A package database left half-configured (an installation cut short, as on
# a fresh machine) makes apt-get refuse every install until dpkg has finished
# configuring what it unpacked: that is done first, and said in one line.
barometer_repair_dpkg() {
  local audit
  audit=$(dpkg --audit 2>/dev/null) || true
  [ -n "$audit" ] || return 0
  echo "The package database is half-configured: running dpkg --configure -a"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo dpkg --configure -a >/dev/null
}

barometer_install_deps() {
  barometer_repair_dpkg
  local missing=()
  for p in "${BAROMETER_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}

# The settings tests run once under a comma-decimal locale.
barometer_ensure_locale() {
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Generating locale de_DE.UTF-8"
    $sudo sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
  fi
}
