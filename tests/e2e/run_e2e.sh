#!/usr/bin/env bash
# Runs tovrane_e2e.py in a private X server and D-Bus session, cut off from
# the network where the system allows it (the update check then fails at
# once and the same way on every machine).
#   run_e2e.sh CMAKE BUILD_DIR
# Exit code 77 (skipped) only when a tool it needs is missing.
set -uo pipefail
cmake=$1
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

missing=()
for tool in xvfb-run xauth dbus-run-session dbus-send import; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=("python3-pyatspi")
[ -x /usr/libexec/at-spi-bus-launcher ] || missing+=("at-spi2-core")
if [ ${#missing[@]} -ne 0 ]; then
    echo "SKIPPED: the end-to-end run needs ${missing[*]} (./dev test installs them)"
    exit 77
fi

work=$(mktemp -d /tmp/tovrane-e2e.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The session's sockets (the accessibility bus among them) stay private.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

isolate=()
if unshare --net true 2>/dev/null; then
    isolate=(unshare --net)
else
    echo "e2e: cannot leave the network here; the update check asks the real resolver"
fi

# The sanitizer build runs slower: give each wait more time there.
timeout=20
grep -q '^TOVRANE_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" && timeout=60

# xvfb-run -a takes the first display number without a lock file, which two
# runs starting at once can both take: start the search at a random number.
# -noreset: by default the server resets whenever its last client leaves (the
# accessibility bus launcher is such a client), and a program connecting during
# that reset is refused.
"${isolate[@]}" xvfb-run -a -n $((100 + RANDOM % 400)) -s "-screen 0 1280x800x24 -noreset" \
    dbus-run-session -- \
    /usr/bin/python3 "$here/tovrane_e2e.py" --cmake "$cmake" --build "$build" --source "$here/../.." \
    --work "$work" --shots "$build/e2e" --timeout "$timeout" \
    2> >(grep -v -e 'Failed to set fd limit' -e 'dbus-daemon\[[0-9]*\]: .*ctivat' >&2)
