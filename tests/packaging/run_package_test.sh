#!/usr/bin/env bash
# Builds the Debian package from the built tree and runs package_test.py on
# it, in a private X server and D-Bus session, cut off from the network where
# the system allows it (the update check then fails at once).
#   run_package_test.sh CPACK BUILD_DIR
# Exit code 77 (skipped) only when a tool it needs is missing.
set -uo pipefail
cpack=$1
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

missing=()
for tool in dpkg-deb dpkg-shlibdeps rsvg-convert desktop-file-validate appstreamcli xvfb-run xauth \
    dbus-run-session dbus-send; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=("python3-pyatspi")
[ -x /usr/libexec/at-spi-bus-launcher ] || missing+=("at-spi2-core")
if [ ${#missing[@]} -ne 0 ]; then
    echo "SKIPPED: the package test needs ${missing[*]} (./dev test installs them)"
    exit 77
fi

work=$(mktemp -d /tmp/tovrane-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# From the tree as it is built: nothing is compiled again.
if ! "$cpack" --config "$build/CPackConfig.cmake" -B "$work/pack" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "package: FAILED: cpack could not build the package"
    exit 1
fi

isolate=()
if unshare --net true 2>/dev/null; then
    isolate=(unshare --net)
else
    echo "package: cannot leave the network here; the update check asks the real resolver"
fi
timeout=20
grep -q '^TOVRANE_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" && timeout=60

"${isolate[@]}" xvfb-run -a -n $((100 + RANDOM % 400)) -s "-screen 0 1280x800x24 -noreset" \
    dbus-run-session -- \
    /usr/bin/python3 "$here/package_test.py" --package "$work"/pack/tovrane_*.deb --source "$here/../.." \
    --work "$work" --timeout "$timeout" \
    2> >(grep -v -e 'Failed to set fd limit' -e 'dbus-daemon\[[0-9]*\]: .*ctivat' >&2)
