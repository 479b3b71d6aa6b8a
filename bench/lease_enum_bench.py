#!/usr/bin/env python3
"""EnumerateInstances of 10,000 leases through CIM on loopback.

Runs inside the appliance sandbox: the customer LAN is widened to a /16,
TavrelAgent starts, and a lease file with 10,000 active leases takes the
place of dhcpd's. One keep-alive client enumerates
ZPX_DHCPClientLeaseInfoCustomerLAN: the first request re-reads the file,
the others find it unchanged. Prints the re-read, p50 and p99 of the
unchanged case, and the agent's resident memory; goals p50 < 100 ms and
under 16 MB. Exit 77 outside the sandbox.
"""
import os
import re
import subprocess
import time

from sandbox_agent import enumerate_instances, percentile, run, running_agent

LEASES = 10000
RUNS = 30
LEASE_FILE = '/pq/etc/dhcpd.leases'


def enumerate_once(conn):
    return enumerate_instances(conn, 'ZPX_DHCPClientLeaseInfoCustomerLAN')


def serves(conn):
    status, _ = enumerate_once(conn)
    return status == 200


def widen_customer_lan():
    """eth1 as 192.168.1.1/16, in its ifcfg file and on the interface."""
    path = '/etc/sysconfig/network-scripts/ifcfg-eth1'
    with open(path) as f:
        text = f.read()
    with open(path, 'w') as f:
        f.write(re.sub(r'NETMASK=\S+', 'NETMASK=255.255.0.0', text))
    subprocess.run(['ip', 'addr', 'flush', 'dev', 'eth1'], check=True)
    subprocess.run(['ip', 'addr', 'add', '192.168.1.1/16', 'dev', 'eth1'], check=True)


def lease_file():
    records = []
    for n in range(LEASES):
        address = f'192.168.{10 + n // 250}.{1 + n % 250}'
        mac = f'00:1a:e8:{n >> 16 & 255:02x}:{n >> 8 & 255:02x}:{n & 255:02x}'
        records.append(f'lease {address} {{\n  starts 1 2026/12/07 08:00:00;\n'
                       f'  ends 1 2026/12/07 09:00:00;\n  cltt 1 2026/12/07 08:00:00;\n'
                       f'  binding state active;\n  next binding state free;\n'
                       f'  hardware ethernet {mac};\n'
                       f'  set vendor-class-identifier = "Zelkor-p4100-A";\n'
                       f'  client-hostname "phone{n}";\n}}\n')
    return ''.join(records)


def memory_kb(pid):
    with open(f'/proc/{pid}/status') as f:
        fields = dict(line.split(':', 1) for line in f)
    return int(fields['VmRSS'].split()[0]), int(fields['VmHWM'].split()[0])


def benchmark():
    if 'APPLIANCE_NS_LAN' in os.environ:
        widen_customer_lan()
    with running_agent('', serves) as conn:
        with open('/var/run/TavrelAgent.pid') as f:
            pid = int(f.read().split()[0])
        idle_kb, _ = memory_kb(pid)
        with open(LEASE_FILE + '.new', 'w') as f:
            f.write(lease_file())
        os.replace(LEASE_FILE + '.new', LEASE_FILE)

        begin = time.perf_counter()
        status, body = enumerate_once(conn)
        reread_ms = (time.perf_counter() - begin) * 1000
        count = len(re.findall(rb'<VALUE\.NAMEDINSTANCE>', body))
        if status != 200 or count != LEASES:
            raise RuntimeError(f'HTTP {status}, {count} leases listed')
        times = []
        for _ in range(RUNS):
            begin = time.perf_counter()
            status, body = enumerate_once(conn)
            times.append((time.perf_counter() - begin) * 1000)
            if status != 200:
                raise RuntimeError(f'HTTP {status}')
        times.sort()
        # The next request is read once the last answer's buffer is given back.
        enumerate_instances(conn, 'ZPX_DHCPService')
        rss_kb, peak_kb = memory_kb(pid)
        print(f'EnumerateInstances(ZPX_DHCPClientLeaseInfoCustomerLAN, {LEASES}): '
              f're-read {reread_ms:.1f} ms, unchanged p50 {percentile(times, 0.5):.1f} ms '
              f'p99 {percentile(times, 0.99):.1f} ms, {len(body) / 1e6:.1f} MB '
              f'(goal p50 < 100 ms)')
        print(f'Agent resident memory: {idle_kb / 1024:.1f} MB idle, {rss_kb / 1024:.1f} MB with '
              f'{LEASES} leases (peak {peak_kb / 1024:.1f} MB; goal < 16 MB)')
    return 0


if __name__ == '__main__':
    raise SystemExit(run(benchmark))
