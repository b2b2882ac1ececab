#!/usr/bin/env bash
# ostrel-sim as a person runs it: bad input gets one line naming the problem and
# a non-zero exit; a scenario gives the same output every time.
set -u
sim=$1
scenarios=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

expect_error() {  # name, expected text, command...
    local name=$1 text=$2
    shift 2
    local err status
    err=$("$@" 2>&1 >/dev/null)
    status=$?
    if [ "$status" -eq 0 ] || [ "$(printf '%s\n' "$err" | wc -l)" -ne 1 ] || ! grep -qF -- "$text" <<<"$err"; then
        echo "FAIL $name: exit $status, said: $err"
        failures=$((failures + 1))
    else
        echo "ok   $name: $err"
    fi
}

printf '{"targets": [' >"$work/broken.json"
printf '{"targets": [{"id": 0, "faults": [{"at": "DataIn", "what": "Sneeze"}]}], "requests": []}' >"$work/sneeze.json"
printf '{"targets": [{"id": 0, "image": "%s/none.img"}], "requests": []}' "$work" >"$work/noimage.json"
head -c 1000 /dev/zero >"$work/odd.img"
printf '{"targets": [{"id": 0, "image": "%s/odd.img"}], "requests": []}' "$work" >"$work/odd.json"
printf '{"targets": [{"id": 9}], "requests": []}' >"$work/id9.json"
printf '{"targets": [{"id": 0}], "requests": [{"cdb": "0"}]}' >"$work/oddcdb.json"

expect_error "missing scenario" "cannot read scenario" "$sim" --scenario "$work/absent.json"
expect_error "malformed scenario" "is not JSON" "$sim" --scenario "$work/broken.json"
expect_error "unknown misbehaviour" "unknown misbehaviour \"Sneeze\"" "$sim" --scenario "$work/sneeze.json"
expect_error "missing image in a scenario" "cannot open disk image" "$sim" --scenario "$work/noimage.json"
expect_error "image not whole blocks" "not a whole number of 512-byte blocks" "$sim" --scenario "$work/odd.json"
expect_error "target ID out of range" "targets[0].id: must be at most 6" "$sim" --scenario "$work/id9.json"
expect_error "odd hex CDB" "requests[0].cdb: an odd number of hex digits" "$sim" --scenario "$work/oddcdb.json"
expect_error "missing image" "cannot open disk image" "$sim" --image "$work/none.img"
expect_error "unknown argument" "unknown argument --fast" "$sim" --fast

# A read-only image is never written, whatever the demo does.
head -c 1048576 /dev/urandom >"$work/user.img"
before=$(sha256sum <"$work/user.img")
"$sim" --image "$work/user.img" >"$work/ro.out" 2>&1 || { echo "FAIL read-only demo"; cat "$work/ro.out"; failures=$((failures + 1)); }
"$sim" --image "$work/user.img" --read-only --write >"$work/ro2.out" 2>&1 || { echo "FAIL write-protected demo"; cat "$work/ro2.out"; failures=$((failures + 1)); }
"$sim" --image "$work/user.img" --write >"$work/rw.out" 2>&1 || { echo "FAIL restoring demo"; cat "$work/rw.out"; failures=$((failures + 1)); }
if [ "$(sha256sum <"$work/user.img")" != "$before" ]; then
    echo "FAIL the user's image changed"
    failures=$((failures + 1))
else
    echo "ok   the user's image is unchanged after reading, write-protected and restoring runs"
fi

for scenario in "$scenarios"/*.json; do
    "$sim" --scenario "$scenario" --trace >"$work/a.out" 2>&1
    a=$?
    "$sim" --scenario "$scenario" --trace >"$work/b.out" 2>&1
    if [ $a -ne 0 ] || ! cmp -s "$work/a.out" "$work/b.out" || grep -q '"breaches":\[[^]]' "$work/a.out"; then
        echo "FAIL scenario $(basename "$scenario"): exit $a, same output: $(cmp -s "$work/a.out" "$work/b.out" && echo yes || echo no)"
        failures=$((failures + 1))
    else
        echo "ok   scenario $(basename "$scenario") runs the same twice, with no breach"
    fi
done

[ $failures -eq 0 ] && echo "ostrel-sim command line: all checks passed" || echo "ostrel-sim command line: $failures failed"
exit $failures
