#!/usr/bin/env bash
# Installs what is missing, builds Zindra with its tests and runs them.
#   ./test.sh              the normal build and every test (CTest)
set -euo pipefail
cd "$(dirname "$0")"
source tools/common.sh

base_packages
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi
configure_and_build build -DZINDRA_WERROR="$werror"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir build --output-on-failure -j "$JOBS"
