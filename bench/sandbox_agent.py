"""TavrelAgent inside the appliance sandbox, for the CIM benchmarks.

`running_agent(reservations, ready, ranges)` installs libTavrel and its class
definitions, writes the sample component file with the given reservations
(and, when given, address ranges instead of the sample's) on eth1 and a
provider agent configuration serving loopback port PORT, starts the agent
and stops it on leaving. `request` and `post` speak CIM-XML to it.
"""
import contextlib
import http.client
import os
import re
import subprocess
import sys
import time

PORT = 5988
HEADERS = {'Content-Type': 'application/xml; charset="utf-8"', 'CIMOperation': 'MethodCall',
           'CIMObject': 'root%2Fcimv2'}


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
    for name in ('libTavrel.so', 'Tavrel.mof'):
        path = os.path.join('/pq/lib/remoteprovider', name)
        if os.path.lexists(path):
            os.remove(path)
        os.symlink(os.path.join(binary, 'lib', name), path)
    with open(os.path.join(source, 'agent', 'dhcpcomp-sample.conf')) as f:
        sample = f.read()
    with open('/pq/etc/dhcpcomp.conf', 'w') as f:
        # Only the first section, eth1, gets them.
        sample = sample.replace('reservedAddrs = \n', f'reservedAddrs = {reservations}\n', 1)
        if ranges is not None:
            sample = re.sub(r'addrRange = .*\n', f'addrRange = {ranges}\n', sample, count=1)
        f.write(sample)
    config = os.path.join(scratch, 'tavrel-agent.conf')
    with open(config, 'w') as f:
        f.write(f'http_server.http_port = {PORT}\n'
                'provider_agent.mof_file = /pq/lib/remoteprovider/Tavrel.mof\n'
                'owcimomd.log_location = stderr\nowcimomd.log_level = error\n')
    return config


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
