#!/usr/bin/env bash
# Runs tovrane_e2e.py in a private X server and D-Bus session (session.sh).
#   run_e2e.sh CMAKE BUILD_DIR
# Exit code 77 (skipped) only when a tool it needs is missing.
set -uo pipefail
cmake=$1
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/session.sh"

require_tools "the end-to-end run" import
make_work e2e
run_in_session e2e /usr/bin/python3 "$here/tovrane_e2e.py" --cmake "$cmake" --build "$build" \
    --source "$here/../.." --work "$work" --shots "$build/e2e" --timeout "$(session_timeout "$build")"
