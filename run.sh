#!/usr/bin/env bash
# Installs what is missing, builds Zindra and starts the window.
set -euo pipefail
cd "$(dirname "$0")"
source tools/common.sh

base_packages
configure_and_build build -DZINDRA_BUILD_TESTS=OFF
if [ -x build/bin/zindra ]; then
  exec build/bin/zindra "$@"
fi
build/bin/zindra-cli --help
