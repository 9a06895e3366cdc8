# Sourced by the scripts that run a test in a private X server and D-Bus
# session, cut off from the network where the system allows it (the update
# check then fails at once and the same way on every machine).

# Exits 77 (skipped), naming what is missing, unless the session's tools and
# the ones given are there.
require_tools() { # what-needs-them tool...
    local what=$1
    shift
    local missing=()
    for tool in xvfb-run xauth dbus-run-session dbus-send "$@"; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=("python3-pyatspi")
    [ -x /usr/libexec/at-spi-bus-launcher ] || missing+=("at-spi2-core")
    if [ ${#missing[@]} -ne 0 ]; then
        echo "SKIPPED: $what needs ${missing[*]} (./dev test installs them)"
        exit 77
    fi
}

# Sets $work to a scratch folder that goes at exit, holding the session's
# private runtime folder (its sockets, the accessibility bus among them).
make_work() { # name
    work=$(mktemp -d "/tmp/tovrane-$1.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    export XDG_RUNTIME_DIR=$work/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
}

# Seconds for each wait: the sanitizer build runs slower.
session_timeout() { # build-dir
    if grep -q '^TOVRANE_SANITIZE:BOOL=ON' "$1/CMakeCache.txt"; then echo 60; else echo 20; fi
}

run_in_session() { # name command...
    local name=$1
    shift
    local isolate=()
    if unshare --net true 2>/dev/null; then
        isolate=(unshare --net)
    else
        echo "$name: cannot leave the network here; the update check asks the real resolver"
    fi
    # xvfb-run -a takes the first display number without a lock file, which
    # two runs starting at once can both take: start the search at a random
    # number. -noreset: by default the server resets whenever its last client
    # leaves (the accessibility bus launcher is such a client), and a program
    # connecting during that reset is refused.
    "${isolate[@]}" xvfb-run -a -n $((100 + RANDOM % 400)) -s "-screen 0 1280x800x24 -noreset" \
        dbus-run-session -- "$@" \
        2> >(grep -v -e 'Failed to set fd limit' -e 'dbus-daemon\[[0-9]*\]: .*ctivat' >&2)
}
