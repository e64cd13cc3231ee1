# Shared by run.sh and test.sh: installs what the build and the tests need, then builds.
# Sourced, not run.

KESTO_PACKAGES=(
    cmake g++ make pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5x11extras5-dev libqt5sql5-sqlite libqt5serialport5-dev qttranslations5-l10n libxcb1-dev
    libcpp-httplib-dev libssl-dev libsqlite3-dev sqlite3 openssl
    xvfb xauth xdotool trayer imagemagick
    openbox x11-utils x11-xkb-utils desktop-file-utils g++-mingw-w64-i686
    g++-mingw-w64-x86-64 wine wine64
    cups printer-driver-cups-pdf poppler-utils
    fonts-wqy-microhei
    clang libclang-rt-14-dev
    file lintian dpkg-dev
)

kesto_install() {
    local missing=()
    for package in "${KESTO_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

kesto_build() {
    local dir=$1
    shift
    cmake -S "$KESTO_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
