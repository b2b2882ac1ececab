#!/usr/bin/env bash
# Checks ostrel.sys as the loader would, and that it imports exactly the
# port-driver operations the driver's code calls.
set -euo pipefail
checker=$1
image=$2
library=$3
nm=${NM:-i686-w64-mingw32-nm}

calls=$("$nm" -u "$library" | awk 'NF==2 {print $2}' | sed -n 's/^_\(Scsi[A-Za-z]*\)\(@[0-9]*\)\{0,1\}$/\1/p' | sort -u | paste -sd, -)
exec "$checker" "$image" --imports "$calls"
