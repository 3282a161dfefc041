#!/usr/bin/env bash
# The main job: sets up a fresh Debian 12 machine if needed, builds everything, and runs what
# can run today. linkwarden itself needs its five pages, which are not built yet; until then the
# demo shows hookprompt, the prompt program, in this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
echo "demo: built into build/ (hookprompt, plcemu and the libraries of linkwarden)."
echo "demo: linkwarden cannot run yet: its property-sheet pages are not built."
if [ -t 0 ] && [ -t 1 ]; then
    echo "demo: starting hookprompt; press Enter to end it."
    sleep 1
    build/hookprompt/hookprompt
else
    echo "demo: run build/hookprompt/hookprompt in a terminal to see the prompt program."
fi
