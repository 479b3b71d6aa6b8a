# Shared by the appliance sandbox's scripts: fixed addresses, names and the
# small helpers every stage uses. Sourced, never run.

# Exit statuses of `appliance run` besides the command's own.
SANDBOX_SKIP=77      # the sandbox cannot be created on this host
SANDBOX_FAULT=125    # setting the sandbox up failed unexpectedly

# Addresses of the simulated networks.
ETH1_ADDR=192.168.1.1
LAN_HOST_ADDR=192.168.1.2
ROUTER_ADDR=192.168.1.254
LAN_MASK=255.255.255.0
ETH2_ADDR=172.31.0.1
OAM_HOST_ADDR=172.31.0.2
OAM_MASK=255.255.255.0
# VLAN number n (1-based position in --vlans) uses 172.16.n.0/24.
VLAN_NET_PREFIX=172.16

# Working area of the run inside the appliance (on its private /run).
SANDBOX_RUN_DIR=/run/tavrel-sandbox

SANDBOX_NAME=${0##*/}

sandbox_msg() { printf '%s: %s\n' "$SANDBOX_NAME" "$*" >&2; }

# Waits until the command "$@" succeeds, polling, for at most $WAIT_SECONDS
# (default 10). Returns 1 on timeout.
sandbox_wait_for() {
    local deadline=$((SECONDS + ${WAIT_SECONDS:-10}))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# Name of the ifcfg file of an interface: the last "." becomes "_".
sandbox_ifcfg_path() {
    local name=$1
    case $name in
        *.*) name="${name%.*}_${name##*.}" ;;
    esac
    printf '/etc/sysconfig/network-scripts/ifcfg-%s\n' "$name"
}

# An interface name the kernel accepts and that is safe in file names.
sandbox_valid_ifname() {
    [[ $1 =~ ^[A-Za-z0-9][A-Za-z0-9_.:-]{0,14}$ ]]
}

# Gives the root ROOT a private /dev: the usual device nodes bound from the
# host, its own pseudo-terminals and shared memory, and room for a /dev/log
# of its own, so nothing written there reaches the host's /dev.
sandbox_make_dev() {
    local dev=$1/dev node
    mount -t tmpfs -o mode=0755,nosuid sandbox-dev "$dev"
    for node in null zero full random urandom tty; do
        touch "$dev/$node"
        mount --bind "/dev/$node" "$dev/$node"
    done
    mkdir -p "$dev/pts" "$dev/shm"
    mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts "$dev/pts"
    ln -s pts/ptmx "$dev/ptmx"
    mount -t tmpfs -o mode=1777,nosuid,nodev shm "$dev/shm"
    ln -s /proc/self/fd "$dev/fd"
    ln -s /proc/self/fd/0 "$dev/stdin"
    ln -s /proc/self/fd/1 "$dev/stdout"
    ln -s /proc/self/fd/2 "$dev/stderr"
}

# Prints the process id holding the private root of peer ROLE (lan, oam,
# upstream), starting the holder on first use: a sleeping process in the
# peer's network namespace and a mount namespace of its own, which
# appliance-peer enters.
sandbox_peer_holder() {
    local role=$1 ns dir=$SANDBOX_RUN_DIR/peers/$1 sandbox_dir
    case $role in
        lan) ns=$APPLIANCE_NS_LAN ;;
        oam) ns=$APPLIANCE_NS_OAM ;;
        upstream) ns=$APPLIANCE_NS_UPSTREAM ;;
        *) return 1 ;;
    esac
    sandbox_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    mkdir -p "$dir" || return 1
    (
        flock 9
        [ -s "$dir/pid" ] && exit 0
        setsid nsenter --net="/run/netns/$ns" -- unshare --mount --propagation private -- \
            /bin/bash "$sandbox_dir/lib/peer-root.sh" "$dir" "$sandbox_dir" \
            </dev/null >/dev/null 2>"$dir/errors" 9>&- &
        WAIT_SECONDS=60 sandbox_wait_for test -s "$dir/pid"
    ) 9>"$dir/lock" || { sandbox_msg "peer '$role' did not start: $(cat "$dir/errors" 2>/dev/null)"; return 1; }
    cat "$dir/pid"
}

sandbox_usage() {
    echo "usage: $SANDBOX_NAME run [--vlans ID,ID...] [--router] [--router-conf FILE] [--eth1-dhcp] [--bare] -- CMD [ARGS...]" >&2
    exit 2
}

# Options of `appliance run`, checked: sets OPT_* and CMD. Every stage parses
# the same arguments with it.
sandbox_parse_options() {
    OPT_VLANS="" OPT_ROUTER=0 OPT_ROUTER_CONF="" OPT_ETH1_DHCP=0 OPT_BARE=0
    while [ $# -gt 0 ]; do
        case $1 in
            --vlans) [ $# -ge 2 ] || sandbox_usage; OPT_VLANS=$2; shift 2 ;;
            --vlans=*) OPT_VLANS=${1#*=}; shift ;;
            --router) OPT_ROUTER=1; shift ;;
            --router-conf) [ $# -ge 2 ] || sandbox_usage; OPT_ROUTER=1; OPT_ROUTER_CONF=$2; shift 2 ;;
            --router-conf=*) OPT_ROUTER=1; OPT_ROUTER_CONF=${1#*=}; shift ;;
            --eth1-dhcp) OPT_ETH1_DHCP=1; shift ;;
            --bare) OPT_BARE=1; shift ;;
            --) shift; break ;;
            *) sandbox_usage ;;
        esac
    done
    [ $# -ge 1 ] || sandbox_usage
    CMD=("$@")
    if [ -n "$OPT_VLANS" ]; then
        local ids id count=0 seen=","
        IFS=, read -r -a ids <<<"$OPT_VLANS"
        for id in "${ids[@]}"; do
            if ! [[ $id =~ ^[1-9][0-9]{0,3}$ ]] || [ "$id" -gt 4094 ]; then
                sandbox_msg "invalid VLAN id '$id' (1-4094)"; exit 2
            fi
            case $seen in *",$id,"*) sandbox_msg "VLAN $id given twice"; exit 2 ;; esac
            seen="$seen$id,"
            count=$((count + 1))
        done
        [ "$count" -le 16 ] || { sandbox_msg "at most 16 VLANs"; exit 2; }
    fi
}
