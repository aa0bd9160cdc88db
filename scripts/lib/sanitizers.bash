# Sourced by the scripts that start sanitizer builds. Kernels with more than 28 bits of mmap
# randomisation place memory where the sanitizers' shadow maps cannot go, and those builds then
# fail at start. prepare_sanitizers NAME fills the array `sanitized` with a command prefix that
# starts programs without randomisation, or lowers the limit when running as root.
sanitized=()
prepare_sanitizers() {
    local who="$1" bits
    bits="$(cat /proc/sys/vm/mmap_rnd_bits 2>/dev/null || echo 0)"
    ((bits > 28)) || return 0
    if setarch "$(uname -m)" -R true 2>/dev/null; then
        sanitized=(setarch "$(uname -m)" -R)
    elif [[ $(id -u) -eq 0 ]] && echo 28 2>/dev/null >/proc/sys/vm/mmap_rnd_bits; then
        echo "$who: vm.mmap_rnd_bits lowered from $bits to 28 for the sanitizers"
    else
        echo "$who: vm.mmap_rnd_bits is $bits; the sanitizer builds may fail to start" >&2
    fi
}
