#!/usr/bin/env bash
# Installs what is missing, builds the console and starts it from the project folder, where it
# finds state_config.yaml. Arguments go to the console; without any, it runs on three simulated
# drives ("--simulate 3"). A lone "--" starts it without them.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)" --target zentrio translations
if [ "$#" -eq 0 ]; then
    set -- --simulate 3
elif [ "$1" = "--" ]; then
    shift
fi
exec build/app/zentrio "$@"
