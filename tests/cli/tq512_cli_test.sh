#!/bin/sh
# Runs the built tq512-cli with --simulate as a shell script would, and checks
# its output and exit statuses. Usage: tq512_cli_test.sh PATH/TO/tq512-cli
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A lock folder of our own: a tq512 running on this machine is not ours.
export XDG_RUNTIME_DIR="$work"
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect STATUS COMMAND...: runs the command, output in $work/out and $work/err.
expect() {
    want=$1
    shift
    "$@" >"$work/out" 2>"$work/err"
    got=$?
    [ "$got" -eq "$want" ] || fail "$* exited $got, not $want: $(cat "$work/err")"
}

# Waits up to ten seconds for a file to get something.
wait_for_output() {
    tries=0
    while [ ! -s "$1" ] && [ "$tries" -lt 100 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
}

# No toolkit in the program.
if readelf -d "$cli" | grep -Eq 'lib(gtk|gdk)'; then
    fail "tq512-cli links the toolkit"
fi

expect 0 "$cli" --help
grep -q '^Usage: tq512-cli' "$work/out" || fail "--help has no usage line"
expect 0 "$cli" config --help
expect 2 "$cli"
expect 2 "$cli" identify --watch

expect 0 "$cli" --simulate identify
printf 'TQ512-0481\n4.81\nNORDAVEL TQ512\nDevice serial number 220000004711\n' >"$work/want"
cmp -s "$work/out" "$work/want" || fail "identify printed: $(cat "$work/out")"

expect 0 "$cli" --simulate --json identify
grep -q '"serial": "220000004711"' "$work/out" || fail "identify --json: $(cat "$work/out")"

expect 0 "$cli" --simulate config get "$work/unit.cfg"
[ "$(wc -l <"$work/unit.cfg")" -eq 45 ] || fail "config get wrote $(wc -l <"$work/unit.cfg") lines"
sed 's/^tqpin=.*/tqpin=24680\r/' "$work/unit.cfg" >"$work/new.cfg"
expect 0 "$cli" --simulate config set "$work/new.cfg"
[ "$(cat "$work/out")" = "Configuration saved." ] || fail "config set said: $(cat "$work/out")"
sed 's/^tqpin=.*/tqpin=2468\r/' "$work/unit.cfg" | expect 1 "$cli" --simulate --lang pl config set -
grep -q '^TQPIN' "$work/err" || fail "bad TQPIN: $(cat "$work/err")"

printf 'TQ510F3 not a firmware' >"$work/bad.bin"
expect 1 "$cli" --simulate flash "$work/bad.bin"
grep -q '^File corrupted!' "$work/err" || fail "bad .bin: $(cat "$work/err")"

# The programmer is one device: a second program is refused while the first
# holds it, and Ctrl+C ends the first normally.
"$cli" --simulate console >"$work/console" 2>&1 &
first=$!
sleep 1
expect 1 "$cli" --simulate identify
grep -q 'in use' "$work/err" || fail "second instance: $(cat "$work/err")"
# The demo unit says something every few seconds.
wait_for_output "$work/console"
kill -INT "$first"
wait "$first"
status=$?
[ "$status" -eq 0 ] || fail "console ended with $status after Ctrl+C"
grep -q '^\[[0-9.: ]*\]> ' "$work/console" || fail "console printed: $(head -c 300 "$work/console")"

# The station: one unit configured and reported, then Ctrl+C while it waits
# for the unit to be unplugged.
"$cli" --simulate station --config "$work/new.cfg" --report "$work/line.csv" \
    >"$work/station" 2>"$work/station.err" &
station=$!
wait_for_output "$work/station"
kill -INT "$station"
wait "$station"
status=$?
[ "$status" -eq 0 ] || fail "station ended with $status: $(cat "$work/station.err")"
grep -q '^220000004711	TQ512-0481	4.81	ok	' "$work/station" || fail "station printed: $(cat "$work/station")"
[ "$(sed -n 2p "$work/line.csv" | cut -d, -f1-4)" = "220000004711,TQ512-0481,4.81,ok" ] ||
    fail "station report: $(cat "$work/line.csv")"

[ "$failures" -eq 0 ] && echo "all tq512-cli checks passed"
exit "$failures"
