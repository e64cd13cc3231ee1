#!/usr/bin/env bash
# Seeds each fault of this folder into the source, one at a time, rebuilds, and runs the tests
# named for it below: at least one of them must fail. The source is restored after each fault, and
# the build once more at the end.
#   tools/seeded-faults/check.sh [NAME...]     all faults, or those named (01-pay-fields-swapped)
# BUILD (default build-test) names the build folder; TESTS, a CTest regex, replaces every fault's
# own tests.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/tools/seeded-faults
build=${BUILD:-$root/build-test}

declare -A tests=(
    [01-pay-fields-swapped]='^tst_kestowindow$'
    [02-fen-to-yuan]='^(tst_replyformat|tst_receipt|tst_records)$'
    [03-second-charge]='^(tst_kestowindow|tst_busyday)$'
    [04-refund-fen-over]='^server_service$'
    [05-settings-entry-twice]='^tst_settingsstore$'
    [06-tray-menu-twice]='^tst_kesto$'
    [07-late-reply-on-screen]='^(tst_kestowindow|tst_busyday)$'
    [08-hotkey-entry-kept]='^tst_kesto$'
    [09-receipt-unescaped]='^tst_receipt$'
    [10-used-code-accepted]='^server_service$'
    [11-records-menu-item-freed]='^tst_busyday$'
    [12-refund-over-what-is-left]='^tst_busyday$'
    [13-late-refund-keeps-order]='^(tst_kestowindow|tst_busyday)$'
    [14-cancel-while-paying]='^tst_busyday$'
    [15-server-error-as-refusal]='^(tst_wxnetwork|tst_busyday)$'
    [16-query-error-in-journal]='^(tst_kestowindow|tst_busyday)$'
    [17-half-body-carried-out]='^server_service$'
    [18-pay-request-sent-again]='^tst_busyday$'
    [19-run-value-read-one-character-short]='^tst_win32$'
    [20-hotkey-modifiers-swapped]='^tst_win32$'
    [21-updater-by-bare-name]='^tst_win32$'
)

names=("$@")
[ ${#names[@]} -eq 0 ] && names=($(cd "$here" && ls ./*.patch | sed 's|^\./||; s|\.patch$||'))
current=""
restore() { [ -n "$current" ] && git -C "$root" apply -R "$here/$current.patch"; current=""; }
trap 'restore; exit 1' INT TERM

missed=()
for name in "${names[@]}"; do
    git -C "$root" apply "$here/$name.patch" || { missed+=("$name (does not apply)"); continue; }
    current=$name
    if ! cmake --build "$build" -j 2 >/dev/null; then
        missed+=("$name (does not build)")
        restore
        continue
    fi
    log=$(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 \
        -R "${TESTS:-${tests[$name]}}" 2>&1)
    status=$?
    restore
    failed=$(grep -oE '^FAIL!  : [^(]+\([^)]*\)' <<<"$log" | sed 's/^FAIL!  : //' | sort -u | paste -sd ';' -)
    failedTests=$(grep -oE '[0-9]+ - [^ ]+ \(Failed\)' <<<"$log" | cut -d' ' -f3 | tr '\n' ' ')
    if [ $status -eq 0 ]; then
        missed+=("$name")
        echo "$name: NOT CAUGHT by ${TESTS:-${tests[$name]}}"
    else
        echo "$name: caught by $failedTests: $failed"
    fi
done
cmake --build "$build" -j 2 >/dev/null
if [ ${#missed[@]} -gt 0 ]; then
    printf 'missed: %s\n' "${missed[@]}"
    exit 1
fi
echo "all ${#names[@]} faults caught"
