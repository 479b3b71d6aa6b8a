# Stage 2 of `appliance run`: runs as the first process of the run, chrooted
# into the appliance's private root. Seeds the fixed paths, builds the
# networks and the peers, runs the command, and returns its status. Everything
# it started ends with it (PID namespace).
set -euo pipefail
# SANDBOX_TRACE=1 traces the set-up, with timestamps.
[ -z "${SANDBOX_TRACE:-}" ] || { PS4="+ \$EPOCHREALTIME "; set -x; }

SANDBOX_DIR=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)
SANDBOX_NAME=appliance
. "$SANDBOX_DIR/lib/common.sh"
CONF=$SANDBOX_DIR/conf
BIN=$SANDBOX_DIR/bin

fault() { sandbox_msg "sandbox set-up failed: $*"; exit "$SANDBOX_FAULT"; }
trap 'fault "command failed at line $LINENO: $BASH_COMMAND"' ERR

sandbox_parse_options "$@"
set -- "${CMD[@]}"
VLANS=()
[ -z "$OPT_VLANS" ] || IFS=, read -r -a VLANS <<<"$OPT_VLANS"

# Unique per run, so that parallel runs never meet even in logs or listings.
RUN_ID=tvl$(od -An -N3 -tx1 /dev/urandom | tr -d ' \n')
NS_APP=$RUN_ID-app NS_LAN=$RUN_ID-lan NS_OAM=$RUN_ID-oam NS_UP=$RUN_ID-up
hostname appliance

# ---- Filesystem: the appliance's fixed paths -------------------------------
seed_filesystem() {
    mkdir -p /pq/etc /pq/bin /pq/lib/remoteprovider /pq/platform \
             /etc/sysconfig/network-scripts /opt/sbin /var/lib/dhcp "$SANDBOX_RUN_DIR"
    # Host files that would otherwise show through the overlay.
    rm -rf /pq/etc/* /pq/lib/remoteprovider/* /pq/platform/*
    ln -sfn /usr/sbin/dhcpd /opt/sbin/dhcpd
    ln -sfn /sbin/dhclient /opt/sbin/dhclient
    ln -sfn /sbin/dhclient-script /opt/sbin/dhclient-script
    install -m 0755 "$BIN/Restart_VoIP_Services.sh" /pq/bin/Restart_VoIP_Services.sh
    ln -sfn "$BIN/ifup" /etc/sysconfig/network-scripts/ifup
    ln -sfn "$BIN/ifdown" /etc/sysconfig/network-scripts/ifdown
    ln -sfn /etc/sysconfig/network-scripts/ifup /sbin/ifup
    ln -sfn /etc/sysconfig/network-scripts/ifdown /sbin/ifdown
    ln -sfn "$BIN/appliance-peer" /usr/local/bin/appliance-peer
    ln -sfn "$BIN/appliance-phone" /usr/local/bin/appliance-phone
    ln -sfn "$BIN/appliance-install-agent" /usr/local/bin/appliance-install-agent
    install -m 0644 "$CONF/hosts" /etc/hosts
    install -m 0644 "$CONF/network" /etc/sysconfig/network
    # The customer LAN's client configuration is the platform package's.
    install -m 0644 "$SANDBOX_DIR/../../packaging/platform/dhclient-eth1.conf" /etc/dhclient-eth1.conf
    # The host's resolver settings are not the appliance's.
    rm -f /etc/resolv.conf && : >/etc/resolv.conf

    if [ "$OPT_ETH1_DHCP" = 1 ]; then
        write_ifcfg eth1 dhcp
    else
        write_ifcfg eth1 static "$ETH1_ADDR" "$LAN_MASK"
    fi
    write_ifcfg eth2 static "$ETH2_ADDR" "$OAM_MASK"
    local n=0 id
    for id in "${VLANS[@]}"; do
        n=$((n + 1))
        write_ifcfg "eth1.$id" static "$VLAN_NET_PREFIX.$n.1" 255.255.255.0
    done
    seed_registry
    # The upstream router stands for the appliance's integrated router.
    [ "$OPT_ROUTER" = 0 ] || : >/pq/platform/router-present
}

write_ifcfg() {
    local name=$1 proto=$2 path
    path=$(sandbox_ifcfg_path "$name")
    {
        echo "DEVICE=$name"
        echo "BOOTPROTO=$proto"
        echo "ONBOOT=yes"
        if [ "$proto" = static ]; then
            echo "IPADDR=$3"
            echo "NETMASK=$4"
        fi
    } >"$path"
}

# The platform stand-ins' registry: the LAN interfaces, one key per VLAN with
# its id, and the published address on the customer LAN.
seed_registry() {
    local id
    {
        printf '%s\t%s\t%s\n' 'if\lan\eth1' description 'Customer LAN'
        printf '%s\t%s\t%s\n' 'if\lan\eth2' description 'OAM LAN'
        for id in "${VLANS[@]}"; do
            printf '%s\t%s\t%s\n' "if\\vlan\\eth1.$id" vlanid "$id"
        done
        printf '%s\t%s\t%s\n' 'PublishedIP\default' interface 'if\lan\eth1'
        if [ "$OPT_ETH1_DHCP" = 0 ]; then
            printf '%s\t%s\t%s\n' 'PublishedIP\default' ipaddress "$ETH1_ADDR"
        fi
    } >/pq/platform/registry
}

# ---- Networks ---------------------------------------------------------------
# appliance eth1 <-> LAN br0 <-> upstream router eth0; appliance eth2 <-> OAM
# br0; appliance eth1.<id> <-> LAN brv<id> (no 802.1Q in this kernel: each
# VLAN is simulated by a veth pair of its own).
build_networks() {
    mkdir -p /run/netns
    local ns
    for ns in "$NS_APP" "$NS_LAN" "$NS_OAM" "$NS_UP"; do
        ip netns add "$ns" || exit "$SANDBOX_SKIP"
        ip -n "$ns" link set lo up
    done
    make_bridge "$NS_LAN" br0 "$LAN_HOST_ADDR/24"
    make_bridge "$NS_OAM" br0 "$OAM_HOST_ADDR/24"
    ip -n "$NS_APP" link add eth1 type veth peer name p-eth1 netns "$NS_LAN" ||
        { sandbox_msg "skipped: cannot create veth pairs"; exit "$SANDBOX_SKIP"; }
    ip -n "$NS_LAN" link set p-eth1 master br0 up
    ip -n "$NS_APP" link add eth2 type veth peer name p-eth2 netns "$NS_OAM"
    ip -n "$NS_OAM" link set p-eth2 master br0 up
    ip -n "$NS_UP" link add eth0 type veth peer name p-up netns "$NS_LAN"
    ip -n "$NS_LAN" link set p-up master br0 up
    ip -n "$NS_UP" addr add "$ROUTER_ADDR/24" dev eth0
    ip -n "$NS_UP" link set eth0 up
    local n=0 id
    for id in "${VLANS[@]}"; do
        n=$((n + 1))
        make_bridge "$NS_LAN" "brv$id" "$VLAN_NET_PREFIX.$n.2/24"
        ip -n "$NS_APP" link add "eth1.$id" type veth peer name "p-eth1.$id" netns "$NS_LAN"
        ip -n "$NS_LAN" link set "p-eth1.$id" master "brv$id" up
    done
}

make_bridge() {
    local ns=$1 name=$2 addr=$3
    ip -n "$ns" link add "$name" type bridge forward_delay 0 stp_state 0 ||
        { sandbox_msg "skipped: cannot create bridges"; exit "$SANDBOX_SKIP"; }
    ip -n "$ns" addr add "$addr" dev "$name"
    ip -n "$ns" link set "$name" up
}

start_router() {
    # A configuration given with --router-conf was copied in by stage 1.
    local conf=$CONF/router-dhcpd.conf
    [ -z "$OPT_ROUTER_CONF" ] || conf=$SANDBOX_RUN_DIR/router-dhcpd.conf
    "$BIN/appliance-peer" upstream -- /bin/sh -c \
        'cat >/etc/dhcp/dhcpd-router.conf && : >/var/lib/dhcp/dhcpd.leases' <"$conf"
    "$BIN/appliance-peer" upstream -- /usr/sbin/dhcpd -4 -q -cf /etc/dhcp/dhcpd-router.conf \
        -lf /var/lib/dhcp/dhcpd.leases -pf /run/dhcpd.pid eth0 ||
        fault "the upstream router's dhcpd did not start (configuration: $conf)"
}

bring_up_interfaces() {
    local pids=() name
    if [ "$OPT_ETH1_DHCP" = 1 ]; then
        ip -n "$NS_APP" link set eth1 up
    else
        ip netns exec "$NS_APP" /sbin/ifup eth1 & pids+=($!)
    fi
    ip netns exec "$NS_APP" /sbin/ifup eth2 & pids+=($!)
    for name in "${VLANS[@]}"; do
        ip netns exec "$NS_APP" /sbin/ifup "eth1.$name" & pids+=($!)
    done
    local pid
    for pid in "${pids[@]}"; do
        wait "$pid" || fault "ifup failed while bringing the appliance's interfaces up"
    done
}

# The appliance's system log, when busybox is there to receive it.
start_syslog() {
    command -v busybox >/dev/null 2>&1 || return 0
    : >/var/log/messages
    busybox syslogd -n -O /var/log/messages </dev/null >/dev/null 2>&1 &
    sandbox_wait_for test -S /dev/log || fault "syslogd did not start"
}

# --bare: a generic Debian host, nothing of the appliance prepared: no /pq,
# /opt/sbin, /etc/sysconfig or dhclient configuration; Debian's hosts file.
seed_bare_filesystem() {
    rm -rf /pq /opt/sbin /etc/sysconfig /etc/dhclient-eth1.conf /sbin/ifup /sbin/ifdown
    mkdir -p /var/lib/dhcp "$SANDBOX_RUN_DIR"
    ln -sfn "$BIN/appliance-peer" /usr/local/bin/appliance-peer
    ln -sfn "$BIN/appliance-phone" /usr/local/bin/appliance-phone
    install -m 0644 "$CONF/hosts-debian" /etc/hosts
    rm -f /etc/resolv.conf && : >/etc/resolv.conf
}

# The host's own network configuration, as ifupdown would leave it: static
# addresses and the default route through the upstream router.
configure_bare_interfaces() {
    ip -n "$NS_APP" addr add "$ETH1_ADDR/24" dev eth1
    ip -n "$NS_APP" addr add "$ETH2_ADDR/24" dev eth2
    ip -n "$NS_APP" link set eth1 up
    ip -n "$NS_APP" link set eth2 up
    ip -n "$NS_APP" route add default via "$ROUTER_ADDR" dev eth1
}

if [ "$OPT_BARE" = 1 ]; then seed_bare_filesystem; else seed_filesystem; fi
start_syslog
build_networks
export APPLIANCE_RUN=$RUN_ID TAVREL_APPLIANCE=1
export APPLIANCE_NS=$NS_APP APPLIANCE_NS_LAN=$NS_LAN APPLIANCE_NS_OAM=$NS_OAM APPLIANCE_NS_UPSTREAM=$NS_UP
export APPLIANCE_VLANS=$OPT_VLANS
export APPLIANCE_PEER=$BIN/appliance-peer APPLIANCE_PHONE=$BIN/appliance-phone
export APPLIANCE_ETH1_ADDR=$ETH1_ADDR APPLIANCE_ETH2_ADDR=$ETH2_ADDR
export APPLIANCE_LAN_HOST_ADDR=$LAN_HOST_ADDR APPLIANCE_OAM_HOST_ADDR=$OAM_HOST_ADDR
export APPLIANCE_ROUTER_ADDR=$ROUTER_ADDR
export TAVREL_PLATFORM_DIR=/pq/platform
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
if [ "$OPT_BARE" = 1 ]; then configure_bare_interfaces; else bring_up_interfaces; fi
[ "$OPT_ROUTER" = 0 ] || start_router

APPLIANCE_SCRATCH=$(mktemp -d /tmp/scratch.XXXXXX)
export APPLIANCE_SCRATCH
cd "$APPLIANCE_SCRATCH"
trap - ERR
set +e
# `ip netns exec` gives the command a /sys that shows the appliance's
# interfaces.
ip netns exec "$NS_APP" "$@"
status=$?
# Daemons the command left behind end with this process (PID namespace).
exit "$status"
