#!/usr/bin/env bash
# Builds Qt for Windows (Core, Gui, Widgets, Network, Test) once, with
# MinGW-w64, from Debian's own qt6-base source package of the version the
# host's Qt tools have (moc, rcc and uic come from the host: a cross-built
# Qt uses them as they are, so the versions must match). The result goes into
# a folder of the cache named after the Qt version, with the source package's
# version and the options recorded beside it; a later run that would build
# the same reuses it. Prints the folder.
#
# Usage: build-qt.sh CACHE_DIR TOOLCHAIN_FILE
set -euo pipefail
cache=$1
toolchain=$2

source_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
qt_version=${source_version%%+*}
prefix=$cache/qt-$qt_version-mingw64
record=$cache/qt-$qt_version-mingw64.txt

# The Debian tarball drops 3rdparty/wintab, hence no tablet events; the
# program needs neither SQL, printing, OpenGL nor D-Bus.
options=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
         -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
         -DFEATURE_tabletevent=OFF -DFEATURE_directwrite3=OFF -DFEATURE_sql=OFF
         -DFEATURE_printsupport=OFF -DFEATURE_zstd=OFF -DFEATURE_dbus=OFF
         -DINPUT_opengl=no -DFEATURE_opengl=OFF
         -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
wanted=$(printf '%s\n' \
    "Qt $qt_version for Windows x86_64, cross-built with MinGW-w64 g++ $compiler (posix threads)" \
    "source: Debian qt6-base $source_version" \
    "toolchain: $(sha256sum < "$toolchain" | cut -d' ' -f1)" \
    "options: ${options[*]}")

if [ -f "$record" ] && [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] && [ "$(cat "$record")" = "$wanted" ]; then
    echo "$prefix"
    exit 0
fi

echo "Building Qt $qt_version for Windows into $prefix (once; 40 minutes or more)" >&2
work=$cache/qt-$qt_version-build
rm -rf "$work" "$prefix" "$record"
mkdir -p "$work/lists/partial"
# The source package through a list of its own, so the machine's apt
# sources stay as they are.
echo "deb-src http://deb.debian.org/debian bookworm main" > "$work/sources.list"
apt_own=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
         -o "Dir::State::Lists=$work/lists" -o Debug::NoLocking=1)
apt-get "${apt_own[@]}" update -qq >&2
(cd "$work" && apt-get "${apt_own[@]}" source -qq "qt6-base=$source_version" >&2)
src=$(find "$work" -maxdepth 1 -type d -name "qt6-base-*" | head -n1)

cmake -S "$src" -B "$work/build" "${options[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" >&2
cmake --build "$work/build" >&2
cmake --install "$work/build" >&2
printf '%s\n' "$wanted" > "$record"
rm -rf "$work"
echo "$prefix"
