#!/usr/bin/env bash
# The Debian packages as an administrator uses them on a generic Debian
# host: built with CPack and checked by lintian (info tags shown) on the
# host, its unit rated by systemd-analyze security, then installed with dpkg
# inside a bare sandbox, where nothing of the appliance is prepared (no /pq,
# /opt/sbin, ifcfg files or interface scripts; the host's own addresses,
# route and hosts file). The installed agent is started as the systemd unit
# starts it (its command line, umask and capability bounding set), must
# serve a telephone and CIM over HTTP and HTTPS, a change over HTTPS must
# reach the next telephone, and it leaves eth1's address, the default route
# and /etc/hosts as they were. An administrator's configuration file is neither replaced on
# installation nor removed with the package; purge leaves nothing of ours.
#   package_test.sh BUILD_DIR
# Exit 77 (skipped) when dpkg-deb, lintian or the sandbox is not available.
set -euo pipefail
here=$(cd "$(dirname "$(readlink -f "$0")")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "${1:-}" != __inside ]; then
    [ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
    for tool in dpkg-deb dpkg-shlibdeps lintian cpack; do
        command -v "$tool" >/dev/null ||
            { echo "skipped: '$tool' is not installed (./dev.sh deps installs it)" >&2; exit 77; }
    done
    TAVREL_BINARY_DIR=$(cd "$1" && pwd)
    export TAVREL_BINARY_DIR
    # The unit's sandboxing: an exposure of at most 4.0 (systemd's scale).
    if command -v systemd-analyze >/dev/null; then
        systemd-analyze security --offline=yes --threshold=40 "$source_dir/packaging/tavrel-agent.service" \
            >"$TAVREL_BINARY_DIR/analyze.out" 2>&1 || { cat "$TAVREL_BINARY_DIR/analyze.out"; fail "systemd-analyze security rates the unit above 4.0"; }
    fi
    mapfile -t debs < <("$source_dir/packaging/build-packages.sh" "$TAVREL_BINARY_DIR" \
                                                                "$TAVREL_BINARY_DIR/package-test")
    [ ${#debs[@]} -eq 2 ] || fail "expected two packages, got: ${debs[*]}"
    exec "$source_dir/tests/sandbox/appliance" run --bare -- "$here/package_test.sh" __inside "${debs[@]}"
fi
shift
debs=("$@")
agent_deb=$(printf '%s\n' "${debs[@]}" | grep '/tavrel_')

# Polls a shell condition for up to $1 seconds.
wait_for() {
    local seconds=$1 i; shift
    for ((i = 0; i < seconds * 10; i++)); do
        if eval "$*"; then return 0; fi
        sleep 0.1
    done
    return 1
}

conf=/pq/etc/tavrel-agent.conf
comp=/pq/etc/dhcpcomp.conf
examples=/pq/share/tavrel/examples
unit=/lib/systemd/system/tavrel-agent.service
network() { ip -4 -o addr show dev eth1; ip route show default; }
network >network.before
cp /etc/hosts hosts.before

# Without the platform's libraries the agent's package does not install.
if dpkg -i "$agent_deb" >dpkg.out 2>&1 || ! grep -q tavrel-platform-api dpkg.out; then
    cat dpkg.out; fail "tavrel installed without tavrel-platform-api"
fi

# An administrator's component configuration is already in place:
# installation leaves it as it is and only adds the missing settings file.
mkdir -p /pq/etc
sed 's/^leaseTime = 3600$/leaseTime = 7200/' "$source_dir/agent/dhcpcomp-sample.conf" >"$comp"
cp "$comp" admin.conf

dpkg -i "${debs[@]}" >dpkg.out 2>&1 || { cat dpkg.out; fail "dpkg -i"; }
cmp -s "$comp" admin.conf || fail "installation replaced $comp"
cmp -s "$examples/dhcpcomp.conf" "$comp.ucf-dist" || fail "the sample is not offered beside $comp"
cmp -s "$examples/tavrel-agent.conf" "$conf" || fail "$conf not installed from the sample"
[ "$(stat -c %a /pq/etc/tavrel-cim.key)" = 600 ] && [ -s /pq/etc/tavrel-cim.crt ] ||
    fail "no certificate and key (mode 0600) created"
[ "$(command -v TavrelAgent)" = /usr/sbin/TavrelAgent ] || fail "TavrelAgent is not on root's PATH"
for program in dhcpd dhclient dhclient-script; do
    [ -x "/opt/sbin/$program" ] || fail "/opt/sbin/$program missing"
done
if ldd /pq/bin/TavrelAgent | grep -e 'not found' -e "$TAVREL_BINARY_DIR"; then
    fail "the installed agent does not link its installed libraries"
fi
# An upgrade whose sample changed keeps the administrator's changed file and
# offers the new sample beside it (what the maintainer script does then).
echo '# administrator' >>"$conf"
sed -i 's/^http_server.timeout = 30$/http_server.timeout = 20/' "$examples/tavrel-agent.conf"
/var/lib/dpkg/info/tavrel.postinst configure 42.10-1 </dev/null >upgrade.out 2>&1 || { cat upgrade.out; fail "upgrade"; }
grep -q '^# administrator$' "$conf" && grep -q '^http_server.timeout = 20$' "$conf.ucf-dist" ||
    fail "the upgrade did not keep $conf and offer the changed sample"
cp "$examples/tavrel-agent.conf" "$conf" && rm "$conf.ucf-dist"
mapfile -t installed < <(dpkg -L tavrel tavrel-platform)
# Conffiles stay until purge, as dpkg keeps them.
conffiles=$(dpkg-query -W -f='${Conffiles}\n' tavrel tavrel-platform | awk '{print $1}')

# The administrator gives the management station its credentials, as the
# README says.
password=Tavrel-package-1
( umask 077; printf 'cimadmin:%s\n' "$(openssl passwd -6 "$password")" >/pq/etc/tavrel-cim.passwd )

# Start as the unit does: its command line, umask and capabilities only.
command=$(sed -n 's/^ExecStart=//p' "$unit")
caps=-all
for cap in $(sed -n 's/^CapabilityBoundingSet=//p' "$unit"); do
    caps+=",+$(tr '[:upper:]' '[:lower:]' <<<"${cap#CAP_}")"
done
: >agent.err
umask "$(sed -n 's/^UMask=//p' "$unit")"
# shellcheck disable=SC2086  # the unit's command line, split as systemd does
setpriv --bounding-set "$caps" $command 2>agent.err &
agent=$!
umask 022
wait_for 30 'grep -q "{62000}" agent.err && [ -s /var/run/dhcpd.pid ]' ||
    { cat agent.err; fail "the installed agent did not start dhcpd"; }

lease=$(appliance-phone --timeout 20 --vendor Zelkor-p4100-A) || { cat agent.err; fail "no lease for a telephone"; }
grep -q 'fixed-address 192.168.1.1[0-9][0-9];' <<<"$lease" || { echo "$lease"; fail "lease outside the range"; }

cim=cimadmin:$password@127.0.0.1
wbemcli ein "http://$cim:5988/root/cimv2:ZPX_DHCPService" >service.out 2>&1 || true
grep -q 'Name="DHCPService"' service.out || { cat service.out; fail "ZPX_DHCPService not served"; }
wbemcli -noverify ei "https://$cim:5989/root/cimv2:ZPX_DHCPSettingData" >settings.out 2>&1 || true
grep -q 'leaseTime=7200' settings.out || { cat settings.out agent.err; fail "ZPX_DHCPSettingData not served over HTTPS"; }

# A change over HTTPS reaches the next telephone.
set='ZPX_DHCPSettingData.InstanceID="Zelkor:ZPX_DHCPSettingData"'
wbemcli -noverify mi "https://$cim:5989/root/cimv2:$set" leaseTime=7300 >change.out 2>&1 ||
    { cat change.out; fail "no change over HTTPS"; }
lease=$(appliance-phone --timeout 20 --vendor Zelkor-p4100-A) || fail "no lease after the change"
grep -q 'option dhcp-lease-time 7300;' <<<"$lease" || { echo "$lease"; fail "the change did not reach the telephone"; }

network >network.after
cmp -s network.before network.after || { diff network.before network.after; fail "the host's network changed"; }
cmp -s hosts.before /etc/hosts || { diff hosts.before /etc/hosts; fail "/etc/hosts changed"; }
mode=$(stat -c %a /pq/etc/dhcpd.leases)
[ $((0$mode & 037)) -eq 0 ] || fail "lease file mode $mode"

kill -TERM "$agent"
wait "$agent" || fail "the agent ended with status $?"
grep -q "{62001}" agent.err || { cat agent.err; fail "no stop message"; }

# Removal keeps the changed component configuration (which the agent has
# rewritten meanwhile) and removes the settings file left as installed.
dpkg -r tavrel tavrel-platform >dpkg.out 2>&1 || { cat dpkg.out; fail "dpkg -r"; }
grep -q '^leaseTime = 7300$' "$comp" || fail "removal did not keep the changed $comp"
[ ! -e "$conf" ] || fail "unchanged $conf left after removal"
left=()
for path in "${installed[@]}"; do
    [ -d "$path" ] && continue
    grep -qxF "$path" <<<"$conffiles" && continue
    if [ -e "$path" ] || [ -L "$path" ]; then left+=("$path"); fi
done
[ ${#left[@]} -eq 0 ] || fail "left after removal: ${left[*]}"

# Purge, with the unit enabled as systemctl enable would have: nothing of
# ours stays.
mkdir -p /etc/systemd/system/multi-user.target.wants
ln -s "$unit" /etc/systemd/system/multi-user.target.wants/tavrel-agent.service
dpkg -P tavrel tavrel-platform >dpkg.out 2>&1 || { cat dpkg.out; fail "dpkg -P"; }
left=$(
    ls -d /pq /opt/sbin /etc/sysconfig /etc/dhclient-eth1.conf /root/dhcp.check* \
          /var/run/TavrelAgent* /etc/systemd/system/*.wants/tavrel-agent.service 2>/dev/null
    grep -l '# TavrelAgent' /etc/hosts
    ip route show 255.255.255.255
    grep -l /pq/ /var/lib/ucf/hashfile /var/lib/ucf/registry 2>/dev/null
    ls /var/lib/ucf/cache 2>/dev/null | grep pq
) || true
[ -z "$left" ] || fail "left after purge: $left"
echo "PASS: installed, served a telephone and CIM, left the host's network alone, removed, purged"
