#!/usr/bin/env python3
"""EnumerateInstances of 10,000 leases through CIM on loopback.

Runs inside the appliance sandbox: the customer LAN is widened to a /16,
TavrelAgent starts, and a lease file with 10,000 active leases takes the
place of dhcpd's. One keep-alive client enumerates
ZPX_DHCPClientLeaseInfoCustomerLAN: the first request re-reads the file,
the others find it unchanged. Prints the re-read, p50 and p99 of the
unchanged case, and the agent's resident memory; goals p50 < 100 ms and
under 16 MB. Then times EnumerateInstances of ZPX_DHCPPoolStatistics over
the 32 ranges the leases lie in: goal p50 < 5 ms with the lease file
unchanged. Exit 77 outside the sandbox.

Before that, with the leases read, a pull enumeration in pages of 500
(OpenEnumerateInstances, PullInstancesWithPath) against one
EnumerateInstances, each on a fresh connection: the agent's peak resident
memory above idle during each (goal for pull at most 2 MB), the time to
the first page (goal under 10 ms) and to the last. The pulled instances
must be those EnumerateInstances gives.
"""
import http.client
import os
import re
import subprocess
import time

from sandbox_agent import PORT, enumerate_instances, percentile, post, request, run, running_agent, timed

LEASES = 10000
RUNS = 30
POOL_RUNS = 200
# 32 ranges of 250 addresses: 192.168.10.1-250 to 192.168.41.1-250.
RANGES = ', '.join(f'192.168.{10 + n}.1-192.168.{10 + n}.250' for n in range(32))
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


PAGE = 500
LEASE_CLASS = 'ZPX_DHCPClientLeaseInfoCustomerLAN'


def pull_call(conn, method, params):
    status, body = post(conn, method, request(method, params))
    if status != 200 or b'<ERROR' in body:
        raise RuntimeError(f'{method}: HTTP {status} {body[:300]!r}')
    context = re.search(rb'NAME="EnumerationContext"[^>]*><VALUE>([^<]*)<', body).group(1).decode()
    return body, context, b'NAME="EndOfSequence" PARAMTYPE="boolean"><VALUE>TRUE' in body


def instances_of(body):
    return re.findall(rb'<INSTANCE .*?</INSTANCE>', body)


def pull_all(conn):
    """Pulls every lease in pages of PAGE: (instances, ms to the first page, ms to the last)."""
    begin = time.perf_counter()
    body, context, end = pull_call(
        conn, 'OpenEnumerateInstances',
        f'<IPARAMVALUE NAME="ClassName"><CLASSNAME NAME="{LEASE_CLASS}"/></IPARAMVALUE>'
        f'<IPARAMVALUE NAME="MaxObjectCount"><VALUE>{PAGE}</VALUE></IPARAMVALUE>')
    first_ms = (time.perf_counter() - begin) * 1000
    instances = instances_of(body)
    while not end:
        body, context, end = pull_call(
            conn, 'PullInstancesWithPath',
            f'<IPARAMVALUE NAME="EnumerationContext"><VALUE>{context}</VALUE></IPARAMVALUE>'
            f'<IPARAMVALUE NAME="MaxObjectCount"><VALUE>{PAGE}</VALUE></IPARAMVALUE>')
        instances += instances_of(body)
    return instances, first_ms, (time.perf_counter() - begin) * 1000


def reset_peak(pid):
    """Lets VmHWM start again from the current resident memory."""
    with open(f'/proc/{pid}/clear_refs', 'w') as f:
        f.write('5')


def connection():
    return http.client.HTTPConnection('127.0.0.1', PORT, timeout=60)


def pull_against_enumerate(pid):
    """Peak memory above idle and times of a pull and of EnumerateInstances."""
    conn = connection()
    pull_call(conn, 'OpenEnumerateInstancePaths',  # reads the lease file
              f'<IPARAMVALUE NAME="ClassName"><CLASSNAME NAME="{LEASE_CLASS}"/></IPARAMVALUE>'
              '<IPARAMVALUE NAME="MaxObjectCount"><VALUE>1</VALUE></IPARAMVALUE>')
    conn.close()
    idle_kb, _ = memory_kb(pid)
    conn = connection()
    reset_peak(pid)
    pulled, first_ms, last_ms = pull_all(conn)
    _, pull_peak_kb = memory_kb(pid)
    conn.close()
    conn = connection()
    reset_peak(pid)
    begin = time.perf_counter()
    status, body = enumerate_instances(conn, LEASE_CLASS)
    enum_ms = (time.perf_counter() - begin) * 1000
    _, enum_peak_kb = memory_kb(pid)
    conn.close()
    enumerated = instances_of(body)
    if status != 200 or len(enumerated) != LEASES or pulled != enumerated:
        raise RuntimeError(f'pulled {len(pulled)} leases, enumerated {len(enumerated)}: not the same')
    print(f'Pull of {LEASES} leases in pages of {PAGE}: first page {first_ms:.1f} ms (goal < 10 ms), '
          f'last page {last_ms:.1f} ms, peak {(pull_peak_kb - idle_kb) / 1024:.1f} MB above '
          f'{idle_kb / 1024:.1f} MB idle (goal <= 2 MB)')
    print(f'EnumerateInstances of the same {LEASES} leases: {enum_ms:.1f} ms, peak '
          f'{(enum_peak_kb - idle_kb) / 1024:.1f} MB above idle')


def benchmark():
    if 'APPLIANCE_NS_LAN' in os.environ:
        widen_customer_lan()
    with running_agent('', serves, RANGES) as conn:
        with open('/var/run/TavrelAgent.pid') as f:
            pid = int(f.read().split()[0])
        idle_kb, _ = memory_kb(pid)
        with open(LEASE_FILE + '.new', 'w') as f:
            f.write(lease_file())
        os.replace(LEASE_FILE + '.new', LEASE_FILE)
        pull_against_enumerate(pid)
        # The same leases again, in a file the agent has not read yet.
        with open(LEASE_FILE + '.new', 'w') as f:
            f.write(lease_file())
        os.replace(LEASE_FILE + '.new', LEASE_FILE)

        begin = time.perf_counter()
        status, body = enumerate_once(conn)
        reread_ms = (time.perf_counter() - begin) * 1000
        count = len(re.findall(rb'<VALUE\.NAMEDINSTANCE>', body))
        if status != 200 or count != LEASES:
            raise RuntimeError(f'HTTP {status}, {count} leases listed')
        times, body = timed(lambda: enumerate_once(conn), RUNS)
        # The next request is read once the last answer's buffer is given back.
        enumerate_instances(conn, 'ZPX_DHCPService')
        rss_kb, peak_kb = memory_kb(pid)
        print(f'EnumerateInstances(ZPX_DHCPClientLeaseInfoCustomerLAN, {LEASES}): '
              f're-read {reread_ms:.1f} ms, unchanged p50 {percentile(times, 0.5):.1f} ms '
              f'p99 {percentile(times, 0.99):.1f} ms, {len(body) / 1e6:.1f} MB '
              f'(goal p50 < 100 ms)')
        print(f'Agent resident memory: {idle_kb / 1024:.1f} MB idle, {rss_kb / 1024:.1f} MB with '
              f'{LEASES} leases (peak {peak_kb / 1024:.1f} MB; goal < 16 MB)')

        times, body = timed(lambda: enumerate_instances(conn, 'ZPX_DHCPPoolStatistics'), POOL_RUNS)
        pools = len(re.findall(rb'<VALUE\.NAMEDINSTANCE>', body))
        print(f'EnumerateInstances(ZPX_DHCPPoolStatistics, {pools} pools, {LEASES} leases, file '
              f'unchanged): p50 {percentile(times, 0.5):.2f} ms p99 '
              f'{percentile(times, 0.99):.2f} ms (goal p50 < 5 ms)')
    return 0


if __name__ == '__main__':
    raise SystemExit(run(benchmark))
