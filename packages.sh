# The Debian packages the set-up commands install, one array per purpose, and
# the one function that installs the missing ones. Sourced by ./dev,
# bench/run and fuzz/run, so a package is named in one place.

# Every build of the code, whichever compiler.
build_packages=(cmake ninja-build qt6-base-dev qt6-base-dev-tools libgl-dev)
# The program's own build and its tests: the compiler, a font, and a private X
# server for the windows.
program_packages=(g++ fonts-dejavu-core xvfb xauth)
# The check that the code is formatted: the one version the code is kept with
# (others lay some constructs out differently).
format_packages=(clang-format-14)
# The end-to-end run: a private D-Bus session, the accessibility bus and its
# Python client, screenshots, and the desktop entry's validator.
e2e_packages=(dbus-daemon dbus-bin at-spi2-core python3-pyatspi imagemagick desktop-file-utils)
# The Debian package and its test: dependencies found from the libraries
# linked, icons rendered from the SVG, the metainfo's validator.
package_packages=(dpkg-dev librsvg2-bin appstream)
# Everything ./dev run and ./dev test need (the benchmarks build the same).
dev_packages=("${build_packages[@]}" "${program_packages[@]}" "${format_packages[@]}" "${e2e_packages[@]}"
              "${package_packages[@]}")
# Only for ./dev package: lintian alone brings more than a hundred packages.
package_check_packages=(lintian)
# ./dev windows: the MinGW-w64 cross compiler (posix threads), Wine to run
# the tests, dpkg-dev to unpack Qt's Debian source package, and the host's
# Qt tools and X server from the lists above.
windows_packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev wine64 dpkg-dev)
# What the benchmarks run besides the program.
bench_packages=(python3 procps findutils coreutils)
# clang 14 brings libFuzzer and the sanitizer runtimes in libclang-rt-14-dev;
# llvm gives llvm-symbolizer for readable stack traces.
fuzz_packages=(clang libclang-rt-14-dev llvm)

install_missing() { # packages...
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
