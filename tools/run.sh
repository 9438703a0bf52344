#!/usr/bin/env bash
# Installs what is missing, builds the console and starts it from the project folder, where it
# finds state_config.yaml. Extra arguments go to the console.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)" --target zentrio
exec build/app/zentrio "$@"
