"""TavrelAgent inside the appliance sandbox, for the CIM benchmarks.

`running_agent(reservations)` installs libTavrel and its class definitions,
writes the sample component file with the given reservations on eth1, a
credentials file and a provider agent configuration serving loopback port
PORT, starts the agent and stops it on leaving. `request` and `post` speak
CIM-XML to it with those credentials.
"""
import base64
import contextlib
import http.client
import os
import subprocess
import sys
import time

PORT = 5988
USER, PASSWORD = 'cimadmin', 'Tavrel-test-1'
CREDENTIALS_FILE = '/pq/etc/tavrel-cim.passwd'
HEADERS = {'Content-Type': 'application/xml; charset="utf-8"', 'CIMOperation': 'MethodCall',
           'CIMObject': 'root%2Fcimv2',
           'Authorization': 'Basic ' + base64.b64encode(f'{USER}:{PASSWORD}'.encode()).decode()}


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


def percentile(sorted_times, fraction):
    return sorted_times[min(len(sorted_times) - 1, int(len(sorted_times) * fraction))]


def _install(binary, source, reservations, scratch):
    for name in ('libTavrel.so', 'Tavrel.mof'):
        path = os.path.join('/pq/lib/remoteprovider', name)
        if os.path.lexists(path):
            os.remove(path)
        os.symlink(os.path.join(binary, 'lib', name), path)
    with open(os.path.join(source, 'agent', 'dhcpcomp-sample.conf')) as f:
        sample = f.read()
    with open('/pq/etc/dhcpcomp.conf', 'w') as f:
        # Only the first section, eth1, gets them.
        f.write(sample.replace('reservedAddrs = \n', f'reservedAddrs = {reservations}\n', 1))
    hashed = subprocess.run(['openssl', 'passwd', '-6', '-salt', 'tavreltest', PASSWORD],
                            check=True, capture_output=True, text=True).stdout.strip()
    if os.path.lexists(CREDENTIALS_FILE):
        os.remove(CREDENTIALS_FILE)
    fd = os.open(CREDENTIALS_FILE, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    with os.fdopen(fd, 'w') as f:
        f.write(f'{USER}:{hashed}\n')
    config = os.path.join(scratch, 'tavrel-agent.conf')
    with open(config, 'w') as f:
        f.write(f'http_server.http_port = {PORT}\n'
                f'http_server.basic_password_file = {CREDENTIALS_FILE}\n'
                'provider_agent.mof_file = /pq/lib/remoteprovider/Tavrel.mof\n'
                'owcimomd.log_location = stderr\nowcimomd.log_level = error\n')
    return config


@contextlib.contextmanager
def running_agent(reservations, ready):
    """Yields a keep-alive connection to the agent once `ready(conn)` holds
    (polled up to 60 s); raises NotInSandbox outside the sandbox and
    RuntimeError when the agent does not get ready."""
    if not os.path.isdir('/pq/lib/remoteprovider') or 'APPLIANCE_NS_LAN' not in os.environ:
        raise NotInSandbox()
    binary = os.environ.get('TAVREL_BINARY_DIR', '')
    scratch = os.environ.get('APPLIANCE_SCRATCH', '.')
    config = _install(binary, os.environ.get('TAVREL_SOURCE_DIR', ''), reservations, scratch)
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
