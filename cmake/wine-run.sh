#!/bin/sh
# Runs a Windows program built here under Wine, as ctest does for every test
# of a Windows build: the Qt and MinGW run-time DLLs are found on WINEPATH, in
# a Wine prefix of the build's own, so nothing of the user's ~/.wine changes.
# Usage: wine-run.sh QT_PREFIX PROGRAM [ARGUMENTS...]
set -e
qt=$1
shift
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
pthread_runtime=/usr/x86_64-w64-mingw32/lib
winepath="Z:$(echo "$qt/bin" | tr / '\\');Z:$(echo "$gcc_runtime" | tr / '\\');Z:$(echo "$pthread_runtime" | tr / '\\')"
export WINEPATH="$winepath${WINEPATH:+;$WINEPATH}"
export QT_PLUGIN_PATH="Z:$(echo "$qt/plugins" | tr / '\\')"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEPREFIX="${WINEPREFIX:-${TOVRANE_WINE_PREFIX:-$HOME/.wine-tovrane}}"
exec /usr/lib/wine/wine64 "$@"
