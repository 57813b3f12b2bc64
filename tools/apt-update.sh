# shellcheck shell=sh
# Sourced by the set-up scripts: SUDO (empty for root) and apt_update.

# shellcheck disable=SC2034 # used by the scripts that source this
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# apt_update [sudo] apt-get [OPTIONS]: updates the package indexes, trying
# again after a pause when one fails (an archive mid-sync serves index files
# that do not match their release file). After the last try it goes on: an
# index the following install needs makes that install fail, and one it does
# not need must not stop it.
apt_update() {
    try=1
    until "$@" update -q; do
        if [ $try -ge 3 ]; then
            echo "apt-get update failed $try times; going on with the indexes it has" >&2
            return 0
        fi
        echo "apt-get update failed; trying again in 15 s" >&2
        sleep 15
        try=$((try + 1))
    done
}
