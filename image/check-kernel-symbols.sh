#!/usr/bin/env bash
# The kernel build of the driver may reach nothing but the port driver: every
# symbol its objects leave undefined is defined in the library itself or is an
# export listed in our scsiport.def (a stray memset or division helper fails here).
set -euo pipefail
library=$1
def=$2
nm=${NM:-i686-w64-mingw32-nm}

defined=$("$nm" --defined-only "$library" | awk 'NF==3 {print $3}' | sort -u)
exports=$(awk '/^EXPORTS/ {on=1; next} on && NF {print "_" $1}' "$def" | sort -u)
status=0
for symbol in $("$nm" -u "$library" | awk 'NF==2 {print $2}' | sort -u); do
    if grep -qxF "$symbol" <<<"$defined"; then continue; fi
    if grep -qxF "$symbol" <<<"$exports"; then continue; fi
    echo "undefined outside the port driver: $symbol"
    status=1
done
[ $status -eq 0 ] && echo "every external symbol of $library is a port-driver export"
exit $status
