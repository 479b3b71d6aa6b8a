#!/usr/bin/env python3
"""IP change of a renumbered static customer LAN, against TavrelAgent in the
appliance sandbox: from the creation of the flag file /pq/etc/ipchnged.tmp
to the first DHCPOFFER of the reconfigured dhcpd (recognised by the new
subnet mask). eth1 alternates between 192.168.1.1/24 and 192.168.1.129/25;
the probing client holds a reservation inside both. Median, minimum and
maximum over 20 changes (goal median under 100 ms).

Exit 77 outside the sandbox.
"""
import os
import subprocess
import time

from sandbox_agent import (PROBE_MAC_TEXT, offer_latencies, post, report_offer_latencies,
                           request, run, running_agent)

CHANGES = 20
PROBE_ADDRESS = '192.168.1.200'
FLAG_FILE = '/pq/etc/ipchnged.tmp'
IFCFG = '/etc/sysconfig/network-scripts/ifcfg-eth1'
NUMBERINGS = [('192.168.1.129', '255.255.255.128', 25), ('192.168.1.1', '255.255.255.0', 24)]


def serves(conn):
    status, data = post(conn, 'EnumerateInstanceNames',
                        request('EnumerateInstanceNames',
                                '<IPARAMVALUE NAME="ClassName"><CLASSNAME NAME="ZPX_DHCPService"/>'
                                '</IPARAMVALUE>'))
    return status == 200 and b'DHCPService' in data


def renumber(address, netmask, prefix):
    with open(IFCFG, 'w') as f:
        f.write(f'DEVICE=eth1\nONBOOT=yes\nBOOTPROTO=static\nIPADDR={address}\n'
                f'NETMASK={netmask}\n')
    subprocess.run(['ip', 'addr', 'flush', 'dev', 'eth1'], check=True)
    subprocess.run(['ip', 'addr', 'add', f'{address}/{prefix}', 'dev', 'eth1'], check=True)


def prepare(i):
    renumber(*NUMBERINGS[i % 2])
    # The agent is idle again once it has removed the last flag file.
    while os.path.exists(FLAG_FILE):
        time.sleep(0.01)
    time.sleep(0.2)


def trigger(_):
    with open(FLAG_FILE, 'w'):
        pass


def benchmark():
    probe = f'{PROBE_ADDRESS} {PROBE_MAC_TEXT} bench-probe Probe'
    with running_agent(probe, serves):
        figures = offer_latencies(CHANGES, trigger, prepare, lambda i: NUMBERINGS[i % 2][1])
        return report_offer_latencies(
            'Flag file until the reconfigured dhcpd offers on the renumbered eth1', CHANGES,
            figures, 100)

if __name__ == '__main__':
    raise SystemExit(run(benchmark))
