# Sourced by scripts/test: how long each preset's build and tests took, printed at the end of
# every run (a failed one too), so a slower build or suite shows where it happened.
timing_rows=()
timing_current=""
timing_since=0
timing_began="$(date +%s)"
timing_note="" # printed under the table

# timing_start PRESET STEP: ends the step running, if any, and starts this one.
timing_start() {
    timing_stop
    timing_current="$1 $2"
    timing_since="$(date +%s)"
}

timing_stop() {
    if [[ -n "$timing_current" ]]; then
        timing_rows+=("$timing_current $(($(date +%s) - timing_since))")
        timing_current=""
    fi
}

# timing_add PRESET STEP SECONDS: a step timed elsewhere (a build in the background).
timing_add() {
    timing_rows+=("$1 $2 $3")
}

# print_timings STATUS: one line per preset with its build and test seconds, then the total.
print_timings() {
    local status="$1" preset step seconds row last="" line=""
    timing_stop
    ((${#timing_rows[@]})) || return 0
    local total=$(($(date +%s) - timing_began))
    echo "=== time per preset (seconds)"
    for row in "${timing_rows[@]}"; do
        read -r preset step seconds <<<"$row"
        if [[ "$preset" != "$last" ]]; then
            [[ -z "$line" ]] || echo "$line"
            line="$(printf '%-8s' "$preset")"
            last="$preset"
        fi
        line+="$(printf '  %s %5d' "$step" "$seconds")"
    done
    echo "$line"
    [[ -z "$timing_note" ]] || echo "$timing_note"
    printf 'total    %d s (%d min %02d s)%s\n' "$total" $((total / 60)) $((total % 60)) \
        "$( ((status == 0)) || echo ", stopped by a failure")"
}
