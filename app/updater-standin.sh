#!/bin/sh
# Stand-in for the updater beside the console: accepts the console's command line
#   <pid> <manifest url> <product> <version> "<application dir>" show|hide
# and updates nothing.
if [ "$#" -ne 6 ]; then
    echo "usage: $0 pid manifest-url product version \"app-dir\" show|hide" >&2
    exit 2
fi
if [ "$6" = "show" ]; then
    echo "$3 $4: no updater is installed with this build." >&2
fi
exit 0
