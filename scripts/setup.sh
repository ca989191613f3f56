# Shared by scripts/run, scripts/test and scripts/bench: installs what is missing,
# then configures and builds. Sourced, not run.

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELLUMIN_BUILD_DIR:-$root/build}"

# What building the program alone needs (configured with -DBUILD_TESTING=OFF).
build_packages=(cmake g++ ninja-build pkg-config qt6-base-dev libcurl4-openssl-dev libicu-dev python3
                fonts-dejavu-core fonts-wqy-microhei)
# What the tests and the benchmark need on top: their build (the X session libraries
# for the end-to-end session manager) and the tools they drive.
test_packages=(libsm-dev xvfb xauth openbox xdotool xclip x11-utils imagemagick zstd brotli openssl curl procps
               dpkg-dev file lintian desktop-file-utils appstream nginx
               dbus at-spi2-core python3-pyatspi python3-gi gir1.2-atspi-2.0)
# scripts/fuzz: clang with its libFuzzer and sanitizer runtimes.
fuzz_packages=(clang libclang-rt-dev)
# scripts/package: CPack's DEB generator finds dependencies with dpkg-shlibdeps and file.
package_packages=(dpkg-dev file lintian)

install_missing() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Missing packages: ${missing[*]}; install them as root." >&2; return 1; }
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Arguments given are added to the configure step (-DNAME=VALUE). Builds everything,
# or only the targets listed in build_targets.
build_targets=()
configure_and_build() {
    local generator=() targets=()
    # A build folder keeps the generator it was made with.
    [ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
    cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    [ ${#build_targets[@]} -eq 0 ] || targets=(--target "${build_targets[@]}")
    cmake --build "$build" --parallel "$(nproc)" "${targets[@]}"
}
