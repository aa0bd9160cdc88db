"""The network lab's home router: a namespace that forwards and masquerades the home network, runs the
real UPnP router daemon (miniupnpd, nftables variant), and the carrier NAT that can sit in front of it."""
import os
import re
import shutil
import subprocess
import time

from netlab_base import LabError

LIB = os.path.dirname(os.path.abspath(__file__))
HTTP_PORT = 5000
ROOT_DESCRIPTION = "rootDesc.xml"

# The daemon makes no tables or chains of its own: it adds its rules to these three chains, which
# the base chains must jump to. Unsolicited traffic from the internet is dropped unless a mapping
# accepts it; the home network goes out under the router's address.
ROUTER_RULES = """table inet filter {
  chain forward {
    type filter hook forward priority 0; policy drop;
    ct state established,related accept
    iifname "lan" accept
    jump miniupnpd;
  }
  chain miniupnpd {
  }
  chain prerouting {
    type nat hook prerouting priority -100; policy accept;
    jump prerouting_miniupnpd;
  }
  chain prerouting_miniupnpd {
  }
  chain postrouting {
    type nat hook postrouting priority 100; policy accept;
    jump postrouting_miniupnpd;
    oifname "wan" masquerade;
  }
  chain postrouting_miniupnpd {
  }
}
"""

CARRIER_RULES = """table ip carrier {
  chain postrouting {
    type nat hook postrouting priority 100; policy accept;
    oifname "wan" masquerade;
  }
}
"""

CONFIG = """ext_ifname=wan
listening_ip=lan
http_port={http_port}
enable_upnp=yes
enable_natpmp=yes
secure_mode=yes
system_uptime=yes
uuid=6f1d2c3a-9e41-4b8a-a7c5-{tag:0>12}
ext_perform_stun={stun}
{stun_lines}allow 1024-65535 {lan} 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
"""


def require_programs():
    """The programs the router needs, or the reason the lab cannot build one."""
    missing = [name for name in ("miniupnpd", "upnpc", "nft") if not shutil.which(name)]
    if missing:
        return "missing %s (packages miniupnpd-nftables, miniupnpc, nftables)" % ", ".join(missing)
    version = subprocess.run(["miniupnpd", "--version"], capture_output=True, text=True).stdout
    if "nftables" not in version:
        return "miniupnpd is not the nftables variant"
    return None


def start_stun(lab, namespace, addresses, ports):
    _, lines = lab.start(namespace, "stun", ["python3", os.path.join(LIB, "stun_responder.py"),
                                             "--address", addresses[0], "--address", addresses[1],
                                             "--port", str(ports[0]), "--port", str(ports[1])])
    lab.expect(lines, r"^stun: listening on", 10, "STUN responder")


def carrier_nat(lab, namespace):
    lab.sysctl(namespace, "net.ipv4.ip_forward", 1)
    lab.run(["nft", "-f", "-"], namespace, stdin=CARRIER_RULES)


class HomeRouter:
    """miniupnpd in the router namespace; upnpc runs in the home namespace against it."""

    def __init__(self, lab, lan_address, lan_cidr, namespace="router", home="home"):
        self.lab = lab
        self.namespace = namespace
        self.home = home
        self.url = "http://%s:%d/%s" % (lan_address, HTTP_PORT, ROOT_DESCRIPTION)
        self.lan_cidr = lan_cidr
        self.lines = None
        self.log = []

    def start(self, stun=None, seconds=20):
        """Rules first, then the daemon; returns its line about port forwarding. With stun (host, port)
        it learns its external address from the responder, which must be up already."""
        self.lab.sysctl(self.namespace, "net.ipv4.ip_forward", 1)
        self.lab.run(["nft", "-f", "-"], self.namespace, stdin=ROUTER_RULES)
        config = os.path.join(self.lab.logs, "miniupnpd-%s.conf" % self.lab.prefix)
        with open(config, "w") as out:
            out.write(CONFIG.format(
                http_port=HTTP_PORT, tag=self.lab.tag, lan=self.lan_cidr, stun="yes" if stun else "no",
                stun_lines="ext_stun_host=%s\next_stun_port=%d\n" % stun if stun else ""))
        # Its own pid file: the default one would make a second daemon elsewhere on this machine refuse.
        pidfile = os.path.join(self.lab.logs, "miniupnpd-%s.pid" % self.lab.prefix)
        _, self.lines = self.lab.start(self.namespace, "miniupnpd-" + self.lab.prefix,
                                       ["miniupnpd", "-d", "-f", config, "-P", pidfile])
        forwarding, seen = self.lab.expect(
            self.lines, r"(Port forwarding is now enabled|Port forwarding is now disabled|"
                        r"Reserved / private IP address \S+ on ext interface \S+: Port forwarding is impossible)",
            seconds, "miniupnpd start")
        self.log += seen
        ready, seen = self.lab.expect(self.lines, r"HTTP listening on port (\d+)", 5, "miniupnpd listening")
        self.log += seen
        return forwarding.group(1)

    def upnpc(self, *args):
        """upnpc from home against the router's description (-i: the daemon calls itself "not connected"
        whenever its address counts as reserved, and upnpc would stop there); (output, seconds)."""
        started = time.monotonic()
        result = subprocess.run(["ip", "netns", "exec", self.lab.ns[self.home], "upnpc", "-i", "-u", self.url] + list(args),
                                capture_output=True, text=True, timeout=20)
        return result.stdout + result.stderr, time.monotonic() - started

    def external_address(self):
        """The router's internet address as it reports it; empty when it has none to give."""
        output, _ = self.upnpc("-l")
        if "GetExternalIPAddress failed. (empty string)" in output:
            return ""
        match = re.search(r"^ExternalIPAddress = (\S*)", output, re.M)
        if not match:
            raise LabError("upnpc -l printed no external address:\n" + output)
        return match.group(1)

    def listed_mappings(self):
        """The router's own list, as upnpc -l prints it: (protocol, external port, internal, description)."""
        output, _ = self.upnpc("-l")
        return re.findall(r"^\s*\d+ (UDP|TCP)\s+(\d+)->(\S+)\s+'([^']*)'", output, re.M)

    def dnat_rules(self):
        """The daemon's redirections in the firewall: (external port, internal address:port)."""
        chain = self.lab.run(["nft", "list", "chain", "inet", "filter", "prerouting_miniupnpd"], self.namespace)
        return re.findall(r"th dport (\d+) dnat ip to (\S+)", chain)
