#!/usr/bin/env python3
"""TavrelAgent under load inside the appliance sandbox.

8 CIM clients run 10,000 mixed operations in all (reads, enumerations,
creations, modifications and deletions of ranges and reservations, refused
requests, renewals) while the IP-change flag file is raised every 200 ms and
telephones keep asking for leases. Each client owns a block of addresses, so
the acknowledged operations make a model of what the files must hold.
Afterwards: the agent ran throughout, every acknowledged reservation and
range is in dhcpcomp.conf and dhcpd.conf and nothing else of the clients' is,
dhcpd serves, and the agent's memory is back within 2 MB of where it began.
Prints the throughput. Exit 77 outside the sandbox.
"""
import http.client
import os
import random
import re
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', '..', 'bench'))
from sandbox_agent import PORT, post, request, run, running_agent  # noqa: E402

CLIENTS = 8
OPERATIONS = int(os.environ.get('LOAD_OPERATIONS', '10000'))
FLAG_FILE = '/pq/etc/ipchnged.tmp'
MEMORY_SLACK_KB = 2048
RESERVATION = 'ZPX_DHCPReservedAddress'
RANGE = 'ZPX_DHCPRangeOfIPAddresses'
SERVICE_KEYS = [('SystemCreationClassName', 'ZPX_System'), ('SystemName', 'ZPX'),
                ('CreationClassName', 'ZPX_DHCPService'), ('Name', 'DHCPService')]


def prop(name, value):
    return f'<PROPERTY NAME="{name}" TYPE="string"><VALUE>{value}</VALUE></PROPERTY>'


def instance(cls, props, iid=''):
    body = ''.join(prop(k, v) for k, v in props.items())
    return f'<INSTANCE CLASSNAME="{cls}">{body}{prop("InstanceID", iid)}</INSTANCE>'


def name_of(cls, iid):
    return (f'<INSTANCENAME CLASSNAME="{cls}"><KEYBINDING NAME="InstanceID">'
            f'<KEYVALUE VALUETYPE="string">{iid}</KEYVALUE></KEYBINDING></INSTANCENAME>')


def rss_kb(pid):
    with open(f'/proc/{pid}/status') as f:
        return int(re.search(r'VmRSS:\s+(\d+)', f.read()).group(1))


def agent_pid():
    with open('/var/run/TavrelAgent.pid') as f:
        return int(f.read().split()[0])


class Client(threading.Thread):
    """One CIM client. Reservations use 192.168.1.(10 + 10 * n .. 19 + 10 * n),
    ranges 192.168.1.(200 + 6 * n .. 205 + 6 * n) outside the sample range."""

    def __init__(self, n, count):
        super().__init__()
        self.n, self.count = n, count
        self.rng = random.Random(n)
        self.reservations = {}   # InstanceID -> (address, MAC, description)
        self.ranges = {}         # InstanceID -> (start, end)
        self.done = 0
        self.errors = []

    def call(self, method, params):
        status, body = post(self.conn, method, request(method, params))
        if status != 200:
            raise RuntimeError(f'HTTP {status} for {method}')
        return body

    def acknowledged(self, body):
        return b'<ERROR' not in body

    def create(self, cls, props):
        body = self.call('CreateInstance',
                         f'<IPARAMVALUE NAME="NewInstance">{instance(cls, props)}</IPARAMVALUE>')
        if not self.acknowledged(body):
            return None
        return re.search(rb'<KEYVALUE[^>]*>(\d+)</KEYVALUE>', body).group(1).decode()

    def renew(self):
        keys = ''.join(f'<KEYBINDING NAME="{k}"><KEYVALUE VALUETYPE="string">{v}</KEYVALUE>'
                       '</KEYBINDING>' for k, v in SERVICE_KEYS)
        body = ('<?xml version="1.0" encoding="utf-8"?><CIM CIMVERSION="2.0" DTDVERSION="2.0">'
                '<MESSAGE ID="1" PROTOCOLVERSION="1.0"><SIMPLEREQ>'
                '<METHODCALL NAME="renewDynamicIPAddress"><LOCALINSTANCEPATH><LOCALNAMESPACEPATH>'
                '<NAMESPACE NAME="root"/><NAMESPACE NAME="cimv2"/></LOCALNAMESPACEPATH>'
                f'<INSTANCENAME CLASSNAME="ZPX_DHCPService">{keys}</INSTANCENAME>'
                '</LOCALINSTANCEPATH></METHODCALL></SIMPLEREQ></MESSAGE></CIM>')
        # A statically addressed customer LAN answers the renewal with an error
        # (not supported); any answer will do.
        status, answer = post(self.conn, 'renewDynamicIPAddress', body)
        if status != 200 or b'<METHODRESPONSE' not in answer:
            raise RuntimeError(f'renewal failed: {status} {answer[:300]!r}')

    def step(self):
        r = self.rng.random()
        free = [a for a in range(10 + 10 * self.n, 20 + 10 * self.n)
                if f'192.168.1.{a}' not in {v[0] for v in self.reservations.values()}]
        if r < 0.3:
            cls = self.rng.choice([RESERVATION, RANGE, 'ZPX_DHCPSettingData'])
            body = self.call('EnumerateInstances',
                             f'<IPARAMVALUE NAME="ClassName"><CLASSNAME NAME="{cls}"/>'
                             '</IPARAMVALUE>')
            if b'<ERROR' in body:
                raise RuntimeError(f'enumeration of {cls} failed')
        elif r < 0.45 and free:
            address = f'192.168.1.{self.rng.choice(free)}'
            mac = f'02:00:00:{self.n:02X}:{self.rng.randrange(256):02X}:{self.rng.randrange(256):02X}'
            props = {'IPv4Address': address, 'reservedMACAddr': mac,
                     'reservedClientName': f'c{self.n}x{self.done}', 'reservedClientDescription': 'load'}
            iid = self.create(RESERVATION, props)
            if iid is not None:
                self.reservations[iid] = (address, mac, 'load')
        elif r < 0.55 and self.reservations:
            iid = self.rng.choice(list(self.reservations))
            address, mac, _ = self.reservations[iid]
            description = f'd{self.done}'
            props = {'IPv4Address': address, 'reservedMACAddr': mac,
                     'reservedClientDescription': description}
            body = self.call('ModifyInstance',
                             '<IPARAMVALUE NAME="ModifiedInstance"><VALUE.NAMEDINSTANCE>' +
                             name_of(RESERVATION, iid) + instance(RESERVATION, props, iid) +
                             '</VALUE.NAMEDINSTANCE></IPARAMVALUE>')
            if self.acknowledged(body):
                self.reservations[iid] = (address, mac, description)
        elif r < 0.65 and self.reservations:
            iid = self.rng.choice(list(self.reservations))
            body = self.call('DeleteInstance', '<IPARAMVALUE NAME="InstanceName">' +
                             name_of(RESERVATION, iid) + '</IPARAMVALUE>')
            if self.acknowledged(body):
                del self.reservations[iid]
        elif r < 0.72 and not self.ranges:
            start, end = f'192.168.1.{200 + 6 * self.n}', f'192.168.1.{205 + 6 * self.n}'
            iid = self.create(RANGE, {'StartAddress': start, 'EndAddress': end})
            if iid is not None:
                self.ranges[iid] = (start, end)
        elif r < 0.78 and self.ranges:
            iid = next(iter(self.ranges))
            body = self.call('DeleteInstance', '<IPARAMVALUE NAME="InstanceName">' +
                             name_of(RANGE, iid) + '</IPARAMVALUE>')
            if self.acknowledged(body):
                del self.ranges[iid]
        elif r < 0.88:
            # Refused: an address inside the sample range, a bad MAC.
            props = {'IPv4Address': f'192.168.1.{150 + self.n}', 'reservedMACAddr': 'xx'}
            if self.create(RESERVATION, props) is not None:
                raise RuntimeError('a refused creation was acknowledged')
        else:
            self.renew()

    def run(self):
        try:
            self.conn = http.client.HTTPConnection('127.0.0.1', PORT, timeout=60)
            while self.done < self.count:
                self.step()
                self.done += 1
        except Exception as e:  # reported by the main thread
            self.errors.append(f'client {self.n} after {self.done}: {e!r}')


def phone(timeout=10):
    return subprocess.run(['appliance-phone', '--vendor', 'Zelkor-p4100-A', '--iface', 'eth1',
                           '--timeout', str(timeout)], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


def background(stop, flags, leases):
    """Raises the flag file every 200 ms; telephones ask for leases."""
    def raise_flag():
        while not stop.is_set():
            open(FLAG_FILE, 'w').close()
            flags.append(1)
            stop.wait(0.2)

    def telephones():
        while not stop.is_set():
            leases.append(phone(5))
    threads = [threading.Thread(target=raise_flag), threading.Thread(target=telephones)]
    for t in threads:
        t.start()
    return threads


def serves(conn):
    status, body = post(conn, 'EnumerateInstances', request(
        'EnumerateInstances', '<IPARAMVALUE NAME="ClassName"><CLASSNAME NAME="ZPX_DHCPService"/>'
        '</IPARAMVALUE>'))
    return status == 200 and b'DHCPService' in body


def check_files(clients):
    """Every acknowledged object is in both files; nothing else of the clients'."""
    with open('/pq/etc/dhcpcomp.conf') as f:
        component = f.read()
    with open('/pq/etc/dhcpd.conf') as f:
        dhcpd = f.read()
    faults = []
    wanted = {}
    for c in clients:
        for address, mac, description in c.reservations.values():
            wanted[address] = (mac, description)
    for n in range(CLIENTS):
        for a in range(10 + 10 * n, 20 + 10 * n):
            address = f'192.168.1.{a}'
            in_component = re.search(rf'(?:= |, ){re.escape(address)} (\S+) \S+ ([^,\n]*)',
                                     component)
            in_dhcpd = f'fixed-address {address};' in dhcpd
            if address in wanted:
                mac, description = wanted[address]
                if not in_component or in_component.group(1) != mac or \
                        in_component.group(2) != description or not in_dhcpd:
                    faults.append(f'acknowledged reservation {address} {mac} {description} missing')
            elif in_component or in_dhcpd:
                faults.append(f'reservation {address} present but not acknowledged')
    for c in clients:
        start = f'192.168.1.{200 + 6 * c.n}'
        present = f'range {start} ' in dhcpd and f'{start}-' in component
        if present != bool(c.ranges):
            faults.append(f'range of client {c.n}: present {present}, acknowledged {bool(c.ranges)}')
    return faults


def load():
    with running_agent('', serves):
        pid = agent_pid()
        # Warm up: every kind of request once, so the memory baseline holds
        # the allocations a first request makes.
        warm = Client(CLIENTS, 40)
        warm.run()
        if warm.errors:
            raise RuntimeError(warm.errors[0])
        warm.reservations.clear()
        rss_before = rss_kb(pid)
        stop, flags, leases = threading.Event(), [], []
        helpers = background(stop, flags, leases)
        clients = [Client(n, OPERATIONS // CLIENTS) for n in range(CLIENTS)]
        begin = time.monotonic()
        for c in clients:
            c.start()
        for c in clients:
            c.join()
        elapsed = time.monotonic() - begin
        stop.set()
        for t in helpers:
            t.join()
        errors = [e for c in clients for e in c.errors]
        done = sum(c.done for c in clients)
        print(f'{done} operations by {CLIENTS} clients in {elapsed:.1f} s: '
              f'{done / elapsed:.0f} operations/s; flag file raised {len(flags)} times; '
              f'{sum(leases)}/{len(leases)} telephone leases granted')
        # Let the last flag file be handled before the files are compared.
        deadline = time.monotonic() + 20
        while os.path.exists(FLAG_FILE) and time.monotonic() < deadline:
            time.sleep(0.2)
        faults = list(errors)
        if agent_pid() != pid or not os.path.exists(f'/proc/{pid}'):
            faults.append('the agent did not run throughout')
        faults += check_files(clients)
        if not phone(15):
            faults.append('dhcpd does not serve after the load')
        # Ranges and reservations of the clients go again, as at the start.
        cleanup = Client(CLIENTS + 1, 0)
        cleanup.conn = http.client.HTTPConnection('127.0.0.1', PORT, timeout=60)
        for c in clients:
            for cls, ids in ((RESERVATION, c.reservations), (RANGE, c.ranges)):
                for iid in list(ids):
                    cleanup.call('DeleteInstance', '<IPARAMVALUE NAME="InstanceName">' +
                                 name_of(cls, iid) + '</IPARAMVALUE>')
        time.sleep(1)
        rss_after = rss_kb(pid)
        print(f'agent memory: {rss_before} kB before, {rss_after} kB after')
        if rss_after > rss_before + MEMORY_SLACK_KB:
            faults.append(f'memory grew by {rss_after - rss_before} kB')
        for fault in faults[:20]:
            print('FAULT:', fault, file=sys.stderr)
        return 1 if faults else 0


if __name__ == '__main__':
    raise SystemExit(run(load))
