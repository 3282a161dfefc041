#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine if needed, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, runs every test, then feeds each fuzz target a fixed set of
# inputs. Network-namespace tests need root; without it they are skipped with a message.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build-test} scripts/build.sh -DLW_SANITIZE=ON
(cd "${BUILD_DIR:-build-test}" && ctest -j2 --output-on-failure)
scripts/fuzz.sh --smoke
