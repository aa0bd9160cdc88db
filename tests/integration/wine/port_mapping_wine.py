#!/usr/bin/env python3
"""The Windows build's router port mapping under Wine, against the real miniupnpd in network namespaces.

    home 192.0.2.10 --- 192.0.2.1 router 198.51.100.10 --- the internet (player 198.51.100.2, STUN .200/.201)

The probe program (Windows, linking the plugin's port mapping) runs in the home namespace: it finds
the router, reads the addresses, maps UDP 7777, then waits for a line on its input before removing
the mapping. Meanwhile this script checks the router's firewall holds the redirection and a player's
datagram reaches a listener at home through the router's address; afterwards, that both are gone.

    port_mapping_wine.py --exe port_mapping_probe.exe [--keep-logs DIR]

Needs root, namespaces, miniupnpd (nftables variant), nft and wine64; exits 77 (skipped) with the
reason otherwise. Wine's sockets live in its server, so the server must start inside the namespace:
the test keeps a prefix of its own for that (made on first use in the cache), ends its server at the
end, and removes its namespaces.
"""
import argparse
import fcntl
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
# The lab's modules leave no compiled copies in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "scripts", "lib"))

from netlab_base import Lab, LabError, probe  # noqa: E402
from netlab_router import HomeRouter, require_programs, start_stun  # noqa: E402

SKIP = 77
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
HOME = "192.0.2.10"
ROUTER_LAN = "192.0.2.1"
LAN = "192.0.2.0/26"
ROUTER_WAN = "198.51.100.10"
PLAYER = "198.51.100.2"
STUN = ("198.51.100.200", "198.51.100.201")
STUN_PORTS = (3478, 3479)
GAME_PORT = 7777
DESCRIPTION = "Kestrel Rocket League"

ECHO = """
import socket
s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM);s.bind(("0.0.0.0",%d))
print("echo: ready",flush=True)
while True:
    d,a=s.recvfrom(2048);s.sendto(d,a)
""" % GAME_PORT


def skip_reason():
    if os.geteuid() != 0:
        return "network namespaces need root"
    trial = "kw-trial-%d" % os.getpid()
    if subprocess.run(["ip", "netns", "add", trial], capture_output=True).returncode != 0:
        return "this machine cannot create network namespaces"
    subprocess.run(["ip", "netns", "del", trial], capture_output=True)
    if not os.access(WINE, os.X_OK):
        return "no %s" % WINE
    return require_programs()


def wine_environment(prefix):
    env = dict(os.environ, WINEDEBUG="-all", WINEPREFIX=prefix, WINEDLLOVERRIDES="mscoree,mshtml=")
    for name in ("DISPLAY", "http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY"):
        env.pop(name, None)
    return env


def in_namespace(lab, namespace, args, env, **kwargs):
    return subprocess.run(["ip", "netns", "exec", lab.ns[namespace]] + args, env=env, **kwargs)


def start_wine(lab, prefix):
    """The prefix's first process starts inside the home namespace, so its server's sockets live there."""
    env = wine_environment(prefix)
    if not os.path.isfile(os.path.join(prefix, "system.reg")):
        os.makedirs(prefix, exist_ok=True)
        in_namespace(lab, "home", [WINE, "wineboot", "--init"], env, stdin=subprocess.DEVNULL,
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        subprocess.run([WINESERVER, "-w"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        if not os.path.isfile(os.path.join(prefix, "system.reg")):
            raise LabError("could not create the Wine prefix in " + prefix)
    # The server stays in the background holding whatever output it was given: none.
    in_namespace(lab, "home", [WINESERVER, "-p"], env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                 stderr=subprocess.DEVNULL, timeout=30)
    # The first program starts Wine's background services; with them running, the probe's output
    # pipe closes when the probe ends.
    in_namespace(lab, "home", [WINE, "cmd", "/c", "exit"], env, stdin=subprocess.DEVNULL,
                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    return env


def expect(lab, lines, pattern, seconds, what):
    match, _ = lab.expect(lines, pattern, seconds, what)
    return match


def run(lab, exe, prefix, report):
    lab.create()
    lab.bridge("net")
    for address in STUN:
        lab.ip("addr", "add", address + "/24", "dev", "br0", namespace="net")
    lab.attach("player", PLAYER + "/24", "net")
    lab.link("home", HOME + "/26", "router", ROUTER_LAN + "/26", b_name="lan")
    lab.ip("route", "add", "default", "via", ROUTER_LAN, namespace="home")
    lab.attach("router", ROUTER_WAN + "/24", "net", rename="wan")
    start_stun(lab, "net", STUN, STUN_PORTS)
    router = HomeRouter(lab, ROUTER_LAN, LAN)
    said = router.start(stun=(STUN[0], STUN_PORTS[0]))
    if said != "Port forwarding is now enabled":
        raise LabError("miniupnpd said: " + said)
    _, echo = lab.start("home", "echo", [sys.executable, "-c", ECHO])
    lab.expect(echo, r"^echo: ready", 10, "echo listener")
    if probe(lab.ns["player"], ROUTER_WAN, GAME_PORT) is not None:
        raise LabError("the player reached home with no mapping")

    started = time.monotonic()
    env = start_wine(lab, prefix)
    report.append("Wine prefix %s ready in the home namespace in %.1f s" % (prefix, time.monotonic() - started))

    started = time.monotonic()
    process, lines = lab.start("home", "probe", [WINE, exe, str(GAME_PORT)], stdin=subprocess.PIPE, env=env)
    found = expect(lab, lines, r"^probe: (gateway .*|no gateway.*)$", 30, "discovery under Wine")
    if not found.group(1).startswith("gateway "):
        raise LabError("under Wine: " + found.group(1))
    external = expect(lab, lines, r"^probe: external address (\S*) \((.*)\)$", 20, "external address")
    added = expect(lab, lines, r"^probe: add UDP (\d+) -> (\S+):(\d+): (.*)$", 20, "add")
    if external.group(1) != ROUTER_WAN or added.group(4) != "0 OK" or added.group(2) != HOME:
        raise LabError("under Wine: external %s (%s), add %s" % (external.group(1), external.group(2), added.group(0)))
    listed = expect(lab, lines, r"^probe: listed (\d+) mapping\(s\)(.*)$", 20, "list")
    expect(lab, lines, r"^probe: mapped; a line on input removes it$", 5, "mapped")
    mapped_seconds = time.monotonic() - started
    rules = router.dnat_rules()
    if rules != [(str(GAME_PORT), "%s:%d" % (HOME, GAME_PORT))]:
        raise LabError("mapped under Wine, the router's redirections are %s" % rules)
    entries = router.listed_mappings()
    if ("UDP", str(GAME_PORT), "%s:%d" % (HOME, GAME_PORT), DESCRIPTION) not in entries:
        raise LabError("the router's own list lacks the mapping: %s" % entries)
    rtt = probe(lab.ns["player"], ROUTER_WAN, GAME_PORT)
    if rtt is None:
        raise LabError("mapped under Wine, the player got no answer at %s:%d" % (ROUTER_WAN, GAME_PORT))
    report.append("probe.exe under Wine: %s; external address %s; \"%s\"; it lists %s mapping(s)%s; %.1f s from start"
                  % (found.group(1), external.group(1), added.group(0), listed.group(1), listed.group(2), mapped_seconds))
    report.append("router: dnat %s -> %s, listed as '%s'; player -> %s:%d answered (%.2f ms)"
                  % (rules[0][0], rules[0][1], DESCRIPTION, ROUTER_WAN, GAME_PORT, rtt))

    process.stdin.write("remove\n")
    process.stdin.flush()
    removed = expect(lab, lines, r"^probe: delete UDP (\d+): (.*)$", 20, "delete")
    left = expect(lab, lines, r"^probe: listed (\d+) mapping\(s\)", 20, "list after delete")
    if removed.group(2) != "0 OK" or left.group(1) != "0":
        raise LabError("under Wine: %s, then %s left" % (removed.group(0), left.group(1)))
    if process.wait(timeout=30) != 0:
        raise LabError("the probe ended with status %d" % process.returncode)
    if router.dnat_rules() or router.listed_mappings():
        raise LabError("after the delete under Wine the router still holds %s" % router.dnat_rules())
    if probe(lab.ns["player"], ROUTER_WAN, GAME_PORT) is not None:
        raise LabError("with the mapping removed the player still got in")
    report.append("\"%s\"; the router holds no rule and lists nothing; player -> %s:%d: no answer"
                  % (removed.group(0), ROUTER_WAN, GAME_PORT))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--keep-logs")
    parser.add_argument("--time-limit", type=int, default=150)
    args = parser.parse_args()
    reason = skip_reason()
    if reason:
        print("port_mapping_wine: skipped: %s" % reason, flush=True)
        return SKIP
    cache = os.environ.get("KESTREL_CACHE", os.path.join(os.path.expanduser("~"), ".cache", "kestrel"))
    prefix = os.path.join(cache, "wine-netns")
    os.makedirs(cache, exist_ok=True)
    # One run at a time per prefix: its server belongs to one namespace.
    lock = open(os.path.join(cache, "wine-netns.lock"), "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    logs = args.keep_logs or tempfile.mkdtemp(prefix="kestrel-wine-upnp-")
    os.makedirs(logs, exist_ok=True)
    lab = Lab(logs, "kw", ("home", "router", "net", "player"))
    report = []

    def out_of_time(signum, frame):
        raise LabError("the run took longer than %d s" % args.time_limit)

    signal.signal(signal.SIGALRM, out_of_time)
    signal.signal(signal.SIGTERM, lambda s, f: (_ for _ in ()).throw(LabError("terminated")))
    signal.alarm(args.time_limit)
    status = 0
    try:
        run(lab, os.path.abspath(args.exe), prefix, report)
    except (LabError, subprocess.SubprocessError, OSError) as error:
        status = 1
        print("port_mapping_wine: FAILED: %s" % error, flush=True)
        print("port_mapping_wine: logs in %s" % logs, flush=True)
    finally:
        signal.alarm(0)
        # Ends this prefix's server and the Wine programs under it, then the lab's own processes.
        subprocess.run([WINESERVER, "-k"], env=wine_environment(prefix), capture_output=True, timeout=30)
        lab.close()
    for line in report:
        print("port_mapping_wine: " + line)
    if status == 0 and not args.keep_logs:
        shutil.rmtree(logs, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main())
