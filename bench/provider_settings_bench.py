#!/usr/bin/env python3
"""ZPX_DHCPSettingData through CIM on loopback, against TavrelAgent in the
appliance sandbox.

- GetInstance of the setting data over one keep-alive connection: p50 and
  p99 (goal p50 <= 0.5 ms).
- ModifyInstance of the lease time until the restarted dhcpd answers a
  DHCPDISCOVER from the customer LAN: median, minimum and maximum (goal
  median under 80 ms). The probing client holds a reservation, so dhcpd
  answers without its ping check of pool addresses.

Exit 77 outside the sandbox.
"""
import ctypes
import http.client
import os
import signal
import socket
import statistics
import struct
import subprocess
import sys
import time

PORT = 5988
GETS = 500
WARMUP = 50
MODIFIES = 20
PROBE_MAC = bytes([0x02, 0x00, 0x00, 0x7B, 0x00, 0x01])
PROBE_ADDRESS = '192.168.1.60'
ANSWER_TIMEOUT = 5.0
CLONE_NEWNET = 0x40000000

HEADERS = {'Content-Type': 'application/xml; charset="utf-8"', 'CIMOperation': 'MethodCall',
           'CIMObject': 'root%2Fcimv2'}
INSTANCE_NAME = ('<INSTANCENAME CLASSNAME="ZPX_DHCPSettingData"><KEYBINDING NAME="InstanceID">'
                 '<KEYVALUE VALUETYPE="string">Zelkor:ZPX_DHCPSettingData</KEYVALUE></KEYBINDING>'
                 '</INSTANCENAME>')


def request(method, params):
    return ('<?xml version="1.0" encoding="utf-8"?><CIM CIMVERSION="2.0" DTDVERSION="2.0">'
            '<MESSAGE ID="1" PROTOCOLVERSION="1.0"><SIMPLEREQ>'
            f'<IMETHODCALL NAME="{method}"><LOCALNAMESPACEPATH>'
            '<NAMESPACE NAME="root"/><NAMESPACE NAME="cimv2"/></LOCALNAMESPACEPATH>'
            f'{params}</IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>')


GET = request('GetInstance', f'<IPARAMVALUE NAME="InstanceName">{INSTANCE_NAME}</IPARAMVALUE>')


def modify(lease_time):
    return request('ModifyInstance',
                   '<IPARAMVALUE NAME="ModifiedInstance"><VALUE.NAMEDINSTANCE>' + INSTANCE_NAME +
                   '<INSTANCE CLASSNAME="ZPX_DHCPSettingData"><PROPERTY NAME="leaseTime" '
                   f'TYPE="uint32"><VALUE>{lease_time}</VALUE></PROPERTY></INSTANCE>'
                   '</VALUE.NAMEDINSTANCE></IPARAMVALUE>')


def call(conn, method, body):
    conn.request('POST', '/cimom', body, dict(HEADERS, CIMMethod=method))
    response = conn.getresponse()
    data = response.read()
    if response.status != 200 or b'<ERROR' in data:
        raise RuntimeError(f'{method}: HTTP {response.status} {data[:300]!r}')
    return data


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


def is_offer(packet):
    if len(packet) < 240 or packet[0] != 2 or packet[28:34] != PROBE_MAC:
        return False
    i = 240
    while i + 2 < len(packet) and packet[i] != 255:
        if packet[i] == 0:
            i += 1
            continue
        if packet[i] == 53:
            return packet[i + 2] == 2
        i += 2 + packet[i + 1]
    return False


def drain(sock):
    try:
        while True:
            sock.recv(1500)
    except BlockingIOError:
        pass


def wait_for_offer(sock, xid):
    deadline = time.monotonic() + ANSWER_TIMEOUT
    while time.monotonic() < deadline:
        xid += 1
        sock.sendto(discover(xid), ('255.255.255.255', 67))
        end = time.monotonic() + 0.002
        while time.monotonic() < end:
            try:
                if is_offer(sock.recv(1500)):
                    return True, xid
            except BlockingIOError:
                time.sleep(0.0002)
    return False, xid


def main():
    binary = os.environ.get('TAVREL_BINARY_DIR', '')
    source = os.environ.get('TAVREL_SOURCE_DIR', '')
    if not os.path.isdir('/pq/lib/remoteprovider') or 'APPLIANCE_NS_LAN' not in os.environ:
        print('needs the appliance sandbox', file=sys.stderr)
        return 77
    library = os.path.join(binary, 'lib', 'libTavrel.so')
    link = '/pq/lib/remoteprovider/libTavrel.so'
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(library, link)
    with open(os.path.join(source, 'agent', 'dhcpcomp-sample.conf')) as f:
        sample = f.read()
    probe = f'{PROBE_ADDRESS} 02:00:00:7B:00:01 bench-probe Probe'
    with open('/pq/etc/dhcpcomp.conf', 'w') as f:
        f.write(sample.replace('reservedAddrs = \n', f'reservedAddrs = {probe}\n', 1))
    scratch = os.environ.get('APPLIANCE_SCRATCH', '.')
    config = os.path.join(scratch, 'tavrel-agent.conf')
    with open(config, 'w') as f:
        f.write(f'http_server.http_port = {PORT}\n'
                f'provider_agent.mof_file = {os.path.join(binary, "lib", "Tavrel.mof")}\n'
                'owcimomd.log_location = stderr\nowcimomd.log_level = error\n')
    with open(os.path.join(scratch, 'agent.err'), 'w') as err:
        agent = subprocess.Popen([os.path.join(binary, 'bin', 'TavrelAgent'), '-c', config],
                                 stdout=subprocess.DEVNULL, stderr=err)
    try:
        deadline = time.monotonic() + 60
        while True:
            try:
                conn = http.client.HTTPConnection('127.0.0.1', PORT, timeout=10)
                call(conn, 'GetInstance', GET)
                break
            except (OSError, RuntimeError):
                if time.monotonic() > deadline or agent.poll() is not None:
                    print('the agent did not serve the setting data', file=sys.stderr)
                    return 1
                time.sleep(0.2)

        for _ in range(WARMUP):
            call(conn, 'GetInstance', GET)
        times = []
        for _ in range(GETS):
            begin = time.perf_counter()
            call(conn, 'GetInstance', GET)
            times.append((time.perf_counter() - begin) * 1000)
        times.sort()
        p50 = times[len(times) // 2]
        print(f'GetInstance(ZPX_DHCPSettingData): p50 {p50:.3f} ms  '
              f'p99 {times[len(times) * 99 // 100]:.3f} ms  '
              f'(goal p50 <= 0.5 ms: {"met" if p50 <= 0.5 else "NOT met"})')

        sock = probe_socket()
        xid = 0x7b000000
        latencies = []
        failed = 0
        for i in range(MODIFIES):
            drain(sock)
            begin = time.perf_counter()
            call(conn, 'ModifyInstance', modify(3000 + i))
            answered, xid = wait_for_offer(sock, xid)
            if not answered:
                failed += 1
                continue
            latencies.append((time.perf_counter() - begin) * 1000)
        median = statistics.median(latencies) if latencies else 0.0
        print(f'ModifyInstance(leaseTime) until the new dhcpd answers, {MODIFIES} changes: '
              f'median {median:.1f} ms  min {min(latencies, default=0):.1f} ms  '
              f'max {max(latencies, default=0):.1f} ms  no answer {failed} '
              f'(goal median < 80 ms: {"met" if failed == 0 and median < 80 else "NOT met"})')
        return 0 if failed == 0 else 1
    finally:
        agent.send_signal(signal.SIGTERM)
        try:
            agent.wait(timeout=20)
        except subprocess.TimeoutExpired:
            agent.kill()
            agent.wait()


if __name__ == '__main__':
    sys.exit(main())
