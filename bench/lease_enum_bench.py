#!/usr/bin/env python3
"""EnumerateInstances of 10,000 leases through CIM on loopback.

Runs inside the appliance sandbox: the customer LAN is widened to a /16,
TavrelAgent starts, and a lease file with 10,000 active leases takes the
place of dhcpd's. One keep-alive client enumerates
ZPX_DHCPClientLeaseInfoCustomerLAN: the first request re-reads the file,
the others find it unchanged. Prints the re-read, p50 and p99 of the
unchanged case, and the agent's resident and private (RssAnon) memory;
goals p50 < 100 ms, under 16 MB resident, private memory at most 2 MB idle
and at most 4 MB above idle with the leases. Then times EnumerateInstances
of ZPX_DHCPPoolStatistics over the 32 ranges the leases lie in: goal p50 <
5 ms with the lease file unchanged. Last, a LAN host grows the lease file
(request and release, about 2 MB/s) while root asks for the pool
statistics over its Unix socket: goal p99 < 50 ms. Exit 77 outside the
sandbox.

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
import socket
import subprocess
import threading
import time

from sandbox_agent import PORT, enumerate_instances, percentile, post, request, run, running_agent, timed

LEASES = 10000
RUNS = 30
POOL_RUNS = 200
# 32 ranges of 250 addresses: 192.168.10.1-250 to 192.168.41.1-250.
RANGES = ', '.join(f'192.168.{10 + n}.1-192.168.{10 + n}.250' for n in range(32))
LEASE_FILE = '/pq/etc/dhcpd.leases'
ROOT_SOCKET = '/var/run/TavrelAgent.socket'
GROWTH_SECONDS = 10
GROWTH_BYTES_PER_SECOND = 2 << 20


def when(t):
    return time.strftime('%w %Y/%m/%d %H:%M:%S', time.gmtime(t))


class RootConnection(http.client.HTTPConnection):
    """HTTP on root's Unix socket of the agent (no credentials)."""

    def __init__(self):
        super().__init__('localhost', timeout=10)

    def connect(self):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.settimeout(10)
        self.sock.connect(ROOT_SOCKET)


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
    starts, ends = when(time.time() - 600), when(time.time() + 3600)
    for n in range(LEASES):
        address = f'192.168.{10 + n // 250}.{1 + n % 250}'
        mac = f'00:1a:e8:{n >> 16 & 255:02x}:{n >> 8 & 255:02x}:{n & 255:02x}'
        records.append(f'lease {address} {{\n  starts {starts};\n'
                       f'  ends {ends};\n  cltt {starts};\n'
                       f'  binding state active;\n  next binding state free;\n'
                       f'  hardware ethernet {mac};\n'
                       f'  set vendor-class-identifier = "Zelkor-p4100-A";\n'
                       f'  client-hostname "phone{n}";\n}}\n')
    return ''.join(records)


def memory_kb(pid):
    """(VmRSS, VmHWM, RssAnon) of the process, in kB."""
    with open(f'/proc/{pid}/status') as f:
        fields = dict(line.split(':', 1) for line in f)
    return tuple(int(fields[k].split()[0]) for k in ('VmRSS', 'VmHWM', 'RssAnon'))


def grow_lease_file(stop):
    """A LAN host cycling request and release with a telephone's vendor
    class: dhcpd appends an active and a free record each time."""
    starts, ends = when(time.time()), when(time.time() + 3600)
    cycle = ''.join(f'lease 192.168.50.7 {{\n  starts {starts};\n  ends {ends};\n'
                    f'  cltt {starts};\n  binding state {state};\n  next binding state free;\n'
                    f'  rewind binding state free;\n  hardware ethernet 00:1a:e8:99:00:07;\n'
                    f'  set vendor-class-identifier = "Zelkor-p4100-A";\n'
                    f'  client-hostname "host7";\n}}\n' for state in ('active', 'free'))
    step = 0.02
    chunk = cycle * max(1, int(GROWTH_BYTES_PER_SECOND * step / len(cycle)))
    with open(LEASE_FILE, 'a') as f:
        while not stop.is_set():
            f.write(chunk)
            f.flush()
            time.sleep(step)


def root_requests_under_growth():
    """p50 and p99 (ms) of root's pool statistics requests while the lease
    file grows, and how much it grew."""
    stop = threading.Event()
    size = os.path.getsize(LEASE_FILE)
    writer = threading.Thread(target=grow_lease_file, args=(stop,))
    writer.start()
    conn = RootConnection()
    times = []
    try:
        deadline = time.monotonic() + GROWTH_SECONDS
        while time.monotonic() < deadline:
            begin = time.perf_counter()
            status, _ = enumerate_instances(conn, 'ZPX_DHCPPoolStatistics')
            times.append((time.perf_counter() - begin) * 1000)
            if status != 200:
                raise RuntimeError(f'HTTP {status} on the root socket')
            time.sleep(0.01)
    finally:
        stop.set()
        writer.join()
        conn.close()
    times.sort()
    return percentile(times, 0.5), percentile(times, 0.99), os.path.getsize(LEASE_FILE) - size


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
    idle_kb, _, _ = memory_kb(pid)
    conn = connection()
    reset_peak(pid)
    pulled, first_ms, last_ms = pull_all(conn)
    _, pull_peak_kb, _ = memory_kb(pid)
    conn.close()
    conn = connection()
    reset_peak(pid)
    begin = time.perf_counter()
    status, body = enumerate_instances(conn, LEASE_CLASS)
    enum_ms = (time.perf_counter() - begin) * 1000
    _, enum_peak_kb, _ = memory_kb(pid)
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
        idle_kb, _, idle_anon_kb = memory_kb(pid)
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
        rss_kb, peak_kb, anon_kb = memory_kb(pid)
        print(f'EnumerateInstances(ZPX_DHCPClientLeaseInfoCustomerLAN, {LEASES}): '
              f're-read {reread_ms:.1f} ms, unchanged p50 {percentile(times, 0.5):.1f} ms '
              f'p99 {percentile(times, 0.99):.1f} ms, {len(body) / 1e6:.1f} MB '
              f'(goal p50 < 100 ms)')
        print(f'Agent resident memory: {idle_kb / 1024:.1f} MB idle, {rss_kb / 1024:.1f} MB with '
              f'{LEASES} leases (peak {peak_kb / 1024:.1f} MB; goal < 16 MB)')
        print(f'Agent private memory (RssAnon): {idle_anon_kb / 1024:.1f} MB idle (goal <= 2 MB), '
              f'{anon_kb / 1024:.1f} MB with {LEASES} leases, {(anon_kb - idle_anon_kb) / 1024:.1f} MB '
              f'above idle (goal <= 4 MB)')

        times, body = timed(lambda: enumerate_instances(conn, 'ZPX_DHCPPoolStatistics'), POOL_RUNS)
        pools = len(re.findall(rb'<VALUE\.NAMEDINSTANCE>', body))
        print(f'EnumerateInstances(ZPX_DHCPPoolStatistics, {pools} pools, {LEASES} leases, file '
              f'unchanged): p50 {percentile(times, 0.5):.2f} ms p99 '
              f'{percentile(times, 0.99):.2f} ms (goal p50 < 5 ms)')

        p50, p99, grown = root_requests_under_growth()
        print(f'Root socket, ZPX_DHCPPoolStatistics while the lease file grows by '
              f'{grown / GROWTH_SECONDS / 1e6:.1f} MB/s: p50 {p50:.1f} ms p99 {p99:.1f} ms '
              f'(goal p99 < 50 ms)')
    return 0


if __name__ == '__main__':
    raise SystemExit(run(benchmark))
