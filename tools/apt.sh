# apt-get and dpkg for the scripts that source this file, waiting for the
# locks of any other install (unattended upgrades, a second apt-get) instead
# of failing: up to TARVIK_LOCK_WAIT seconds (ten minutes), saying what holds
# them. When apt_log names a file, apt-get's own output goes there.
# shellcheck shell=sh
TARVIK_LOCK_WAIT=${TARVIK_LOCK_WAIT:-600}

# apt and dpkg take fcntl locks on these files; apt-get update waits for
# none of them, and install only with DPkg::Lock::Timeout.
dpkg_locks="/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock /var/cache/apt/archives/lock"

# The first held lock as "FILE, held by PID (NAME)", from /proc/locks, which
# lists every fcntl lock as its holder and the file's device and inode.
held_lock() {
    for apt_lock in $dpkg_locks; do
        [ -e "$apt_lock" ] || continue
        apt_file=$(stat -c '%Hd %Ld %i' "$apt_lock")
        # shellcheck disable=SC2086 # major, minor and inode are words
        apt_file=$(printf '%02x:%02x:%s' $apt_file)
        apt_pid=$(awk -v id="$apt_file" '{ sub(/^[0-9]+: (-> )?/, "") } $5 == id { print $4; exit }' /proc/locks 2>/dev/null)
        [ -n "$apt_pid" ] || continue
        echo "$apt_lock, held by $apt_pid ($(cat "/proc/$apt_pid/comm" 2>/dev/null || echo "a process gone since"))"
        return
    done
}

# Runs COMMAND once no lock is held, and again when it failed while another
# install took a lock in the meantime, until the wait is over. (The variables
# here start with apt_: sh has no local ones.)
with_dpkg_lock() {
    apt_deadline=$(($(date +%s) + TARVIK_LOCK_WAIT))
    apt_said=""
    while :; do
        apt_busy=$(held_lock)
        if [ -n "$apt_busy" ]; then
            if [ "$(date +%s)" -ge "$apt_deadline" ]; then
                echo "tarvik: $apt_busy for more than $TARVIK_LOCK_WAIT s: giving up" >&2
                return 1
            fi
            [ -n "$apt_said" ] || echo "waiting up to $TARVIK_LOCK_WAIT s for another install: $apt_busy" >&2
            apt_said=1
            sleep 1
            continue
        fi
        "$@" && return 0
        apt_status=$?
        [ -n "$(held_lock)" ] && [ "$(date +%s)" -lt "$apt_deadline" ] || return $apt_status
    done
}

# apt-get without questions. A lock another install takes between the check
# and apt-get's start: install waits ten seconds for it itself, and after
# that, as update does at once, fails into another round of waiting.
apt_get() {
    with_dpkg_lock run_apt_get "$@"
}
run_apt_get() {
    if [ -n "${apt_log:-}" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=10 "$@" >>"$apt_log" 2>&1
    else
        DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=10 "$@"
    fi
}

# Installs PACKAGE... from freshly read package lists, without the packages
# they only recommend. A mirror that fails one of the lists (a sync in
# progress) leaves the others read, which may well do.
apt_install() {
    apt_get update || echo "tarvik: apt-get update failed; installing from the package lists at hand" >&2
    apt_get install --no-install-recommends "$@"
}
