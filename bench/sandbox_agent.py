"""TavrelAgent inside the appliance sandbox, for the CIM benchmarks.

`running_agent(reservations, ready, ranges)` installs libTavrel and its class
definitions, writes the sample component file with the given reservations
(and, when given, address ranges instead of the sample's) on eth1, a
credentials file and a provider agent configuration serving loopback port
PORT, starts the agent and stops it on leaving. `request` and `post` speak
CIM-XML to it with those credentials.
"""
import base64
import contextlib
import ctypes
import http.client
import os
import re
import socket
import statistics
import struct
import subprocess
import sys
import time

PORT = 5988
USER, PASSWORD = 'cimadmin', 'Tavrel-test-1'
HEADERS = {'Content-Type': 'application/xml; charset="utf-8"', 'CIMOperation': 'MethodCall',
           'CIMObject': 'root%2Fcimv2',
           'Authorization': 'Basic ' + base64.b64encode(f'{USER}:{PASSWORD}'.encode()).decode()}


# The probing DHCP client on the customer LAN: its hardware address (give it
# a reservation, so dhcpd answers without its ping check of pool addresses).
PROBE_MAC = bytes([0x02, 0x00, 0x00, 0x7B, 0x00, 0x01])
PROBE_MAC_TEXT = '02:00:00:7B:00:01'
ANSWER_TIMEOUT = 5.0
CLONE_NEWNET = 0x40000000


class NotInSandbox(Exception):
    """Raised outside the appliance sandbox; the benchmark exits 77."""


def request(method, params):
    """A CIM-XML intrinsic method call in root/cimv2."""
    return ('<?xml version="1.0" encoding="utf-8"?><CIM CIMVERSION="2.0" DTDVERSION="2.0">'
            '<MESSAGE ID="1" PROTOCOLVERSION="1.0"><SIMPLEREQ>'
            f'<IMETHODCALL NAME="{method}"><LOCALNAMESPACEPATH>'
            '<NAMESPACE NAME="root"/><NAMESPACE NAME="cimv2"/></LOCALNAMESPACEPATH>'
            f'{params}</IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>')


def post(conn, method, body):
    """Sends one request on a keep-alive connection: (HTTP status, body)."""
    conn.request('POST', '/cimom', body, dict(HEADERS, CIMMethod=method))
    response = conn.getresponse()
    return response.status, response.read()


def enumerate_instances(conn, class_name):
    """EnumerateInstances of a class on a keep-alive connection: (HTTP status, body)."""
    return post(conn, 'EnumerateInstances', request(
        'EnumerateInstances',
        f'<IPARAMVALUE NAME="ClassName"><CLASSNAME NAME="{class_name}"/></IPARAMVALUE>'))


def timed(call, runs):
    """Runs call() runs times: (sorted milliseconds, the last body); an answer
    other than HTTP 200 raises RuntimeError."""
    times = []
    body = b''
    for _ in range(runs):
        begin = time.perf_counter()
        status, body = call()
        times.append((time.perf_counter() - begin) * 1000)
        if status != 200:
            raise RuntimeError(f'HTTP {status}')
    times.sort()
    return times, body


def percentile(sorted_times, fraction):
    return sorted_times[min(len(sorted_times) - 1, int(len(sorted_times) * fraction))]


def _install(binary, source, reservations, ranges, scratch):
    """Installs the agent (appliance-install-agent) with the sample component
    file changed as asked; returns its configuration file."""
    with open(os.path.join(source, 'agent', 'dhcpcomp-sample.conf')) as f:
        sample = f.read()
    # Only the first section, eth1, gets them.
    sample = sample.replace('reservedAddrs = \n', f'reservedAddrs = {reservations}\n', 1)
    if ranges is not None:
        sample = re.sub(r'addrRange = .*\n', f'addrRange = {ranges}\n', sample, count=1)
    component = os.path.join(scratch, 'dhcpcomp.conf')
    with open(component, 'w') as f:
        f.write(sample)
    subprocess.run(['appliance-install-agent', '--component', component, '--password', PASSWORD,
                    '--set', 'owcimomd.log_location = stderr',
                    '--set', 'http_server.max_connections = 64',
                    '--set', 'http_server.max_connections_per_client = 16'],
                   check=True, env=dict(os.environ, TAVREL_BINARY_DIR=binary))
    return '/pq/etc/tavrel-agent.conf'


@contextlib.contextmanager
def running_agent(reservations, ready, ranges=None):
    """Yields a keep-alive connection to the agent once `ready(conn)` holds
    (polled up to 60 s); raises NotInSandbox outside the sandbox and
    RuntimeError when the agent does not get ready."""
    if not os.path.isdir('/pq/lib/remoteprovider') or 'APPLIANCE_NS_LAN' not in os.environ:
        raise NotInSandbox()
    binary = os.environ.get('TAVREL_BINARY_DIR', '')
    scratch = os.environ.get('APPLIANCE_SCRATCH', '.')
    config = _install(binary, os.environ.get('TAVREL_SOURCE_DIR', ''), reservations, ranges,
                      scratch)
    with open(os.path.join(scratch, 'agent.err'), 'w') as err:
        agent = subprocess.Popen([os.path.join(binary, 'bin', 'TavrelAgent'), '-c', config],
                                 stdout=subprocess.DEVNULL, stderr=err)
    try:
        deadline = time.monotonic() + 60
        while True:
            conn = http.client.HTTPConnection('127.0.0.1', PORT, timeout=10)
            try:
                if ready(conn):
                    break
            except OSError:
                pass
            conn.close()
            if time.monotonic() > deadline or agent.poll() is not None:
                raise RuntimeError('the agent did not get ready')
            time.sleep(0.2)
        yield conn
    finally:
        agent.send_signal(15)
        try:
            agent.wait(timeout=20)
        except subprocess.TimeoutExpired:
            agent.kill()
            agent.wait()


def probe_socket():
    """A UDP socket on the DHCP client port of the LAN segment's bridge."""
    libc = ctypes.CDLL(None, use_errno=True)
    own = os.open('/proc/self/ns/net', os.O_RDONLY)
    lan = os.open('/run/netns/' + os.environ['APPLIANCE_NS_LAN'], os.O_RDONLY)
    try:
        if libc.setns(lan, CLONE_NEWNET) != 0:
            raise OSError(ctypes.get_errno(), 'setns')
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, b'br0')
        s.bind(('0.0.0.0', 68))
    finally:
        libc.setns(own, CLONE_NEWNET)
        os.close(own)
        os.close(lan)
    s.setblocking(False)
    return s


def discover(xid):
    packet = bytearray(236)
    packet[0:3] = bytes([1, 1, 6])
    packet[4:8] = struct.pack('!I', xid)
    packet[10] = 0x80
    packet[28:34] = PROBE_MAC
    return bytes(packet) + bytes([99, 130, 83, 99, 53, 1, 1, 255])


def is_offer(packet, netmask=None):
    """True for a DHCPOFFER to the probe (with that subnet mask, when given)."""
    if len(packet) < 240 or packet[0] != 2 or packet[28:34] != PROBE_MAC:
        return False
    options = {}
    i = 240
    while i + 1 < len(packet) and packet[i] != 255:
        if packet[i] == 0:
            i += 1
            continue
        options[packet[i]] = packet[i + 2:i + 2 + packet[i + 1]]
        i += 2 + packet[i + 1]
    if options.get(53) != bytes([2]):
        return False
    return netmask is None or options.get(1) == socket.inet_aton(netmask)


def drain(sock):
    try:
        while True:
            sock.recv(1500)
    except BlockingIOError:
        pass


def wait_for_offer(sock, xid, netmask=None):
    """Sends DHCPDISCOVERs from the probe every 2 ms until an offer comes
    (see is_offer): (answered, last transaction id)."""
    deadline = time.monotonic() + ANSWER_TIMEOUT
    while time.monotonic() < deadline:
        xid += 1
        sock.sendto(discover(xid), ('255.255.255.255', 67))
        end = time.monotonic() + 0.002
        while time.monotonic() < end:
            try:
                if is_offer(sock.recv(1500), netmask):
                    return True, xid
            except BlockingIOError:
                time.sleep(0.0002)
    return False, xid


def offer_latencies(changes, trigger, prepare=None, netmask=None):
    """Times `changes` changes until the probe is offered an address: for
    each i, prepare(i) (untimed), then trigger(i) and DHCPDISCOVERs until
    an offer (with netmask(i), when given) comes. Returns the median,
    minimum and maximum in milliseconds and the number of changes left
    without an answer."""
    sock = probe_socket()
    xid = 0x7b000000
    latencies = []
    failed = 0
    for i in range(changes):
        if prepare is not None:
            prepare(i)
        drain(sock)
        begin = time.perf_counter()
        trigger(i)
        answered, xid = wait_for_offer(sock, xid, netmask(i) if netmask is not None else None)
        if not answered:
            failed += 1
            continue
        latencies.append((time.perf_counter() - begin) * 1000)
    median = statistics.median(latencies) if latencies else 0.0
    return median, min(latencies, default=0), max(latencies, default=0), failed


def report_offer_latencies(label, changes, figures, goal_ms):
    """Prints the figures of offer_latencies; 0 when every change was
    answered, else 1."""
    median, fastest, slowest, failed = figures
    met = failed == 0 and median < goal_ms
    print(f'{label}, {changes} changes: median {median:.1f} ms  min {fastest:.1f} ms  '
          f'max {slowest:.1f} ms  no answer {failed} '
          f'(goal median < {goal_ms} ms: {"met" if met else "NOT met"})')
    return 0 if failed == 0 else 1


def run(benchmark):
    """Runs benchmark() as the program: 77 outside the sandbox, 1 on failure."""
    try:
        return benchmark()
    except NotInSandbox:
        print('needs the appliance sandbox', file=sys.stderr)
        return 77
    except RuntimeError as e:
        print(e, file=sys.stderr)
        return 1
