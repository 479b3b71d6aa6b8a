#!/usr/bin/env bash
# Demonstration on the simulated appliance: the real dhcpd serves the
# customer LAN with the telephone vendor class and option 128, a telephone
# on the LAN gets a lease, and the lease is shown. Ends by itself.
#   demo.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$(readlink -f "$0")")" && pwd)

if [ "${1:-}" != __inside ]; then
    [ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
    TAVREL_BINARY_DIR=$(cd "$1" && pwd)
    export TAVREL_BINARY_DIR
    exec "$here/appliance" run -- "$here/demo.sh" __inside
fi

step() { printf '\n== %s\n' "$*"; }

step "Appliance interfaces"
ip -br -4 addr show

step "dhcpd.conf for the customer LAN (eth1)"
cp "$here/../data/sandbox/dhcpd-eth1.conf" /pq/etc/dhcpd.conf
cat /pq/etc/dhcpd.conf

step "Starting /opt/sbin/dhcpd"
touch /pq/etc/dhcpd.leases
/opt/sbin/dhcpd -cf /pq/etc/dhcpd.conf -lf /pq/etc/dhcpd.leases -q
echo "dhcpd runs as process $(cat /var/run/dhcpd.pid)"

step "A Zelkor-p4100-A telephone on the customer LAN asks for an address"
lease=$(appliance-phone --vendor Zelkor-p4100-A --hostname desk-phone-1)
echo "$lease"

step "What the telephone learned"
value() { sed -n "s/^  *$1 \\(.*\\);\$/\\1/p" <<<"$lease"; }
echo "address:       $(value fixed-address)"
echo "netmask:       $(value 'option subnet-mask')"
echo "gateway:       $(value 'option routers')"
echo "DHCP server:   $(value 'option dhcp-server-identifier')"
echo "call servers (option 128): $(value 'option zx-callservers')"
echo "VLAN list (option 191):    $(value 'option zx-vlanlist')"

step "The server's lease file"
sed -n '/^lease /,/^}/p' /pq/etc/dhcpd.leases

step "Done; the appliance is torn down"
