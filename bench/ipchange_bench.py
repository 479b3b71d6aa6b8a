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
import statistics
import subprocess
import time

from sandbox_agent import (PROBE_MAC_TEXT, drain, post, probe_socket, request, run,
                           running_agent, wait_for_offer)

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


def benchmark():
    probe = f'{PROBE_ADDRESS} {PROBE_MAC_TEXT} bench-probe Probe'
    with running_agent(probe, serves):
        sock = probe_socket()
        xid = 0x7c000000
        latencies = []
        failed = 0
        for i in range(CHANGES):
            address, netmask, prefix = NUMBERINGS[i % 2]
            renumber(address, netmask, prefix)
            # The agent is idle again once it has removed the last flag file.
            while os.path.exists(FLAG_FILE):
                time.sleep(0.01)
            time.sleep(0.2)
            drain(sock)
            begin = time.perf_counter()
            with open(FLAG_FILE, 'w'):
                pass
            answered, xid = wait_for_offer(sock, xid, netmask)
            if not answered:
                failed += 1
                continue
            latencies.append((time.perf_counter() - begin) * 1000)
        median = statistics.median(latencies) if latencies else 0.0
        print(f'Flag file until the reconfigured dhcpd offers on the renumbered eth1, {CHANGES} '
              f'changes: median {median:.1f} ms  min {min(latencies, default=0):.1f} ms  '
              f'max {max(latencies, default=0):.1f} ms  no answer {failed} '
              f'(goal median < 100 ms: {"met" if failed == 0 and median < 100 else "NOT met"})')
        return 0 if failed == 0 else 1


if __name__ == '__main__':
    raise SystemExit(run(benchmark))
