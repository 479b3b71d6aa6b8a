#!/usr/bin/env python3
"""EnumerateInstances of 64 reserved addresses through CIM on loopback.

Runs inside the appliance sandbox: TavrelAgent starts from a component file
with 64 reservations and serves them over CIM-XML; one keep-alive client
times the requests. Prints p50 and p99; goal p50 <= 2 ms.
Exit 77 outside the sandbox.
"""
import re
import time

from sandbox_agent import enumerate_instances, percentile, run, running_agent

RUNS = 500
WARMUP = 50
RESERVATIONS = 64


def enumerate_once(conn):
    return enumerate_instances(conn, 'ZPX_DHCPReservedAddress')


def serves_all(conn):
    status, body = enumerate_once(conn)
    return status == 200 and len(re.findall(rb'<VALUE\.NAMEDINSTANCE>', body)) == RESERVATIONS


def benchmark():
    reservations = ', '.join(f'192.168.1.{10 + i} 02:00:00:00:01:{i:02X} desk{i} Desk {i}'
                             for i in range(RESERVATIONS))
    with running_agent(reservations, serves_all) as conn:
        for _ in range(WARMUP):
            enumerate_once(conn)
        times = []
        for _ in range(RUNS):
            begin = time.perf_counter()
            status, body = enumerate_once(conn)
            times.append((time.perf_counter() - begin) * 1000)
            if status != 200:
                raise RuntimeError(f'HTTP {status}')
        times.sort()
        print(f'EnumerateInstances(ZPX_DHCPReservedAddress, {RESERVATIONS}): '
              f'p50 {percentile(times, 0.5):.3f} ms  p99 {percentile(times, 0.99):.3f} ms  '
              f'{len(body)} bytes  (goal p50 <= 2 ms)')
    return 0


if __name__ == '__main__':
    raise SystemExit(run(benchmark))
