#!/usr/bin/env python3
"""EnumerateInstances of 64 reserved addresses through CIM on loopback.

Runs inside the appliance sandbox: TavrelAgent starts from a component file
with 64 reservations and serves them over CIM-XML; one keep-alive client
times the requests. Prints p50 and p99; goal p50 <= 2 ms.
Exit 77 when the agent cannot serve the classes yet (no umbrella provider).
"""
import http.client
import os
import re
import signal
import subprocess
import sys
import time

RUNS = 500
WARMUP = 50
RESERVATIONS = 64
PORT = 5988

BODY = ('<?xml version="1.0" encoding="utf-8"?><CIM CIMVERSION="2.0" DTDVERSION="2.0">'
        '<MESSAGE ID="1" PROTOCOLVERSION="1.0"><SIMPLEREQ>'
        '<IMETHODCALL NAME="EnumerateInstances"><LOCALNAMESPACEPATH>'
        '<NAMESPACE NAME="root"/><NAMESPACE NAME="cimv2"/></LOCALNAMESPACEPATH>'
        '<IPARAMVALUE NAME="ClassName"><CLASSNAME NAME="ZPX_DHCPReservedAddress"/>'
        '</IPARAMVALUE></IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>')
HEADERS = {'Content-Type': 'application/xml; charset="utf-8"', 'CIMOperation': 'MethodCall',
           'CIMMethod': 'EnumerateInstances', 'CIMObject': 'root%2Fcimv2'}


def component_file(sample):
    """The sample component file with RESERVATIONS reservations on eth1."""
    entries = ', '.join(f'192.168.1.{10 + i} 02:00:00:00:01:{i:02X} desk{i} Desk {i}'
                        for i in range(RESERVATIONS))
    # Only the first section, eth1, gets them.
    return sample.replace('reservedAddrs = \n', f'reservedAddrs = {entries}\n', 1)


def enumerate_once(conn):
    conn.request('POST', '/cimom', BODY, HEADERS)
    response = conn.getresponse()
    return response.status, response.read()


def main():
    binary = os.environ.get('TAVREL_BINARY_DIR', '')
    source = os.environ.get('TAVREL_SOURCE_DIR', '')
    if not os.path.isdir('/pq/lib/remoteprovider'):
        print('needs the appliance sandbox', file=sys.stderr)
        return 77
    library = os.path.join(binary, 'lib', 'libTavrel.so')
    mof = os.path.join(binary, 'lib', 'Tavrel.mof')
    symbols = subprocess.run(['nm', '-D', '--defined-only', library], capture_output=True,
                             text=True).stdout
    if ' createProviderTavrel\n' not in symbols or not os.path.exists(mof):
        print('libTavrel has no umbrella provider or class definitions yet', file=sys.stderr)
        return 77
    for target, link in ((library, 'libTavrel.so'), (mof, 'Tavrel.mof')):
        path = os.path.join('/pq/lib/remoteprovider', link)
        if os.path.lexists(path):
            os.remove(path)
        os.symlink(target, path)
    with open(os.path.join(source, 'agent', 'dhcpcomp-sample.conf')) as f:
        sample = f.read()
    with open('/pq/etc/dhcpcomp.conf', 'w') as f:
        f.write(component_file(sample))
    scratch = os.environ.get('APPLIANCE_SCRATCH', '.')
    config = os.path.join(scratch, 'tavrel-agent.conf')
    with open(config, 'w') as f:
        f.write(f'http_server.http_port = {PORT}\n'
                'provider_agent.mof_file = /pq/lib/remoteprovider/Tavrel.mof\n'
                'owcimomd.log_location = stderr\nowcimomd.log_level = error\n')

    with open(os.path.join(scratch, 'agent.err'), 'w') as err:
        agent = subprocess.Popen([os.path.join(binary, 'bin', 'TavrelAgent'), '-c', config],
                                 stdout=subprocess.DEVNULL, stderr=err)
    try:
        deadline = time.monotonic() + 60
        while True:
            try:
                conn = http.client.HTTPConnection('127.0.0.1', PORT, timeout=10)
                status, body = enumerate_once(conn)
                if status == 200 and len(re.findall(rb'<VALUE\.NAMEDINSTANCE>', body)) == RESERVATIONS:
                    break
                conn.close()
            except OSError:
                pass
            if time.monotonic() > deadline or agent.poll() is not None:
                print('the agent did not serve 64 reservations', file=sys.stderr)
                return 1
            time.sleep(0.2)

        for _ in range(WARMUP):
            enumerate_once(conn)
        times = []
        for _ in range(RUNS):
            begin = time.perf_counter()
            status, body = enumerate_once(conn)
            times.append((time.perf_counter() - begin) * 1000)
            if status != 200:
                print(f'HTTP {status}', file=sys.stderr)
                return 1
        times.sort()
        p50 = times[len(times) // 2]
        print(f'EnumerateInstances(ZPX_DHCPReservedAddress, {RESERVATIONS}): '
              f'p50 {p50:.3f} ms  p99 {times[len(times) * 99 // 100]:.3f} ms  '
              f'{len(body)} bytes  (goal p50 <= 2 ms)')
        return 0
    finally:
        agent.send_signal(signal.SIGTERM)
        try:
            agent.wait(timeout=20)
        except subprocess.TimeoutExpired:
            agent.kill()
            agent.wait()


if __name__ == '__main__':
    sys.exit(main())
