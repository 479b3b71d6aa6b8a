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
import os
import socket
import statistics
import struct
import time

from sandbox_agent import percentile, post, request, run, running_agent

GETS = 500
WARMUP = 50
MODIFIES = 20
PROBE_MAC = bytes([0x02, 0x00, 0x00, 0x7B, 0x00, 0x01])
PROBE_ADDRESS = '192.168.1.60'
ANSWER_TIMEOUT = 5.0
CLONE_NEWNET = 0x40000000

INSTANCE_NAME = ('<INSTANCENAME CLASSNAME="ZPX_DHCPSettingData"><KEYBINDING NAME="InstanceID">'
                 '<KEYVALUE VALUETYPE="string">Zelkor:ZPX_DHCPSettingData</KEYVALUE></KEYBINDING>'
                 '</INSTANCENAME>')


GET = request('GetInstance', f'<IPARAMVALUE NAME="InstanceName">{INSTANCE_NAME}</IPARAMVALUE>')


def modify(lease_time):
    return request('ModifyInstance',
                   '<IPARAMVALUE NAME="ModifiedInstance"><VALUE.NAMEDINSTANCE>' + INSTANCE_NAME +
                   '<INSTANCE CLASSNAME="ZPX_DHCPSettingData"><PROPERTY NAME="leaseTime" '
                   f'TYPE="uint32"><VALUE>{lease_time}</VALUE></PROPERTY></INSTANCE>'
                   '</VALUE.NAMEDINSTANCE></IPARAMVALUE>')


def call(conn, method, body):
    status, data = post(conn, method, body)
    if status != 200 or b'<ERROR' in data:
        raise RuntimeError(f'{method}: HTTP {status} {data[:300]!r}')
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


def serves_settings(conn):
    try:
        call(conn, 'GetInstance', GET)
        return True
    except RuntimeError:
        return False


def benchmark():
    probe = f'{PROBE_ADDRESS} 02:00:00:7B:00:01 bench-probe Probe'
    with running_agent(probe, serves_settings) as conn:
        for _ in range(WARMUP):
            call(conn, 'GetInstance', GET)
        times = []
        for _ in range(GETS):
            begin = time.perf_counter()
            call(conn, 'GetInstance', GET)
            times.append((time.perf_counter() - begin) * 1000)
        times.sort()
        p50 = percentile(times, 0.5)
        print(f'GetInstance(ZPX_DHCPSettingData): p50 {p50:.3f} ms  '
              f'p99 {percentile(times, 0.99):.3f} ms  '
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


if __name__ == '__main__':
    raise SystemExit(run(benchmark))
