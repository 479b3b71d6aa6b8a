# Builds the private root of one peer (LAN host, OAM host, upstream router)
# and then holds it: the process sleeps, and appliance-peer enters its mount
# and network namespaces. Runs in the peer's network namespace and a mount
# namespace of its own.
#   peer-root.sh STATE_DIR SANDBOX_DIR
set -euo pipefail
dir=$1 sandbox_dir=$2
. "$sandbox_dir/lib/common.sh"
mkdir -p "$dir/upper" "$dir/work" "$dir/root"
root=$dir/root
# A writable copy of the appliance's filesystem; what the peer writes stays
# in its own upper layer.
mount -t overlay overlay -o "lowerdir=/,upperdir=$dir/upper,workdir=$dir/work" "$root"
mount -t proc proc "$root/proc"
sandbox_make_dev "$root"
# A fresh sysfs shows this network namespace's interfaces.
mount -t sysfs sysfs "$root/sys"
for d in run tmp var/lib/dhcp var/log root; do
    mount -t tmpfs -o mode=0755 "peer-$d" "$root/$d"
done
chmod 1777 "$root/tmp"
rm -f "$root/etc/resolv.conf" && : >"$root/etc/resolv.conf"
for d in "$(cd "$sandbox_dir/../.." && pwd)" ${TAVREL_BINARY_DIR:+"$TAVREL_BINARY_DIR"}; do
    [ -d "$d" ] || continue
    mkdir -p "$root$d"
    mount --bind "$d" "$root$d"
done
echo $$ >"$dir/pid.tmp"
mv "$dir/pid.tmp" "$dir/pid"
exec chroot "$root" /bin/sleep infinity
