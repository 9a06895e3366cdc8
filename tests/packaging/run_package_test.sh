#!/usr/bin/env bash
# Builds the Debian package from the built tree and runs package_test.py on
# it in a private X server and D-Bus session (../e2e/session.sh).
#   run_package_test.sh CPACK BUILD_DIR
# Exit code 77 (skipped) only when a tool it needs is missing.
set -uo pipefail
cpack=$1
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../e2e/session.sh"

require_tools "the package test" dpkg-deb dpkg-shlibdeps rsvg-convert desktop-file-validate appstreamcli
make_work package

# From the tree as it is built: nothing is compiled again.
if ! "$cpack" --config "$build/CPackConfig.cmake" -B "$work/pack" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "package: FAILED: cpack could not build the package"
    exit 1
fi
run_in_session package /usr/bin/python3 "$here/package_test.py" --package "$work"/pack/tovrane_*.deb \
    --source "$here/../.." --work "$work" --timeout "$(session_timeout "$build")"
