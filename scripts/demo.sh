#!/usr/bin/env bash
# The main job: sets up a fresh Debian 12 machine if needed and builds everything.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
echo "demo: everything is built in build/; linkwarden cannot run yet (its pages are not built)."
