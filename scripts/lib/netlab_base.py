"""The network lab's building blocks: namespaces joined by veth pairs and a bridge, the processes
started inside them, datagram probes, and a development host driven over its console."""
import os
import queue
import re
import statistics
import subprocess
import sys
import threading
import time

PANEL = "Reverse Proxy"
LOBBY = "Active Server List"


class LabError(Exception):
    pass


PROBE_CODE = """
import socket,sys,time,secrets
timeout,host,port,count,fresh=float(sys.argv[1]),sys.argv[2],int(sys.argv[3]),int(sys.argv[4]),sys.argv[5]=='fresh'
s=None
for _ in range(count):
    if fresh or s is None:
        s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM);s.settimeout(timeout)
    n=b'netlab-'+secrets.token_hex(8).encode();t=time.monotonic()
    try:
        s.sendto(n,(host,port))
        while True:
            d,_=s.recvfrom(2048)
            if d==n: print('%.3f'%((time.monotonic()-t)*1000),flush=True);break
    except OSError: print('none',flush=True)
"""


def probes(namespace, host, port, count=1, timeout=1.0, fresh=True):
    """Round trips of count datagrams with a nonce each from inside a namespace, in ms (None: no answer).
    fresh: each from a socket of its own, so a new source port never rides on a flow a NAT already
    tracks; otherwise all from one socket, as a game client sends."""
    out = subprocess.run(["ip", "netns", "exec", namespace, sys.executable, "-c", PROBE_CODE,
                          str(timeout), host, str(port), str(count), "fresh" if fresh else "flow"],
                         capture_output=True, text=True, timeout=count * (timeout + 1) + 10).stdout.split()
    results = [None if word == "none" else float(word) for word in out]
    return results + [None] * (count - len(results))


def probe(namespace, host, port, timeout=1.0):
    return probes(namespace, host, port, 1, timeout)[0]


PAIRED_CODE = """
import socket,sys,time,secrets
count=int(sys.argv[1]);targets=[(sys.argv[2],int(sys.argv[3])),(sys.argv[4],int(sys.argv[5]))]
flows=[socket.socket(socket.AF_INET,socket.SOCK_DGRAM) for _ in targets]
for s in flows: s.settimeout(1.0)
for _ in range(count):
    for s,target in zip(flows,targets):
        n=b'netlab-'+secrets.token_hex(8).encode();t=time.monotonic()
        try:
            s.sendto(n,target)
            while True:
                d,_=s.recvfrom(2048)
                if d==n: print('%.3f'%((time.monotonic()-t)*1000),end=' ');break
        except OSError: print('none',end=' ')
    print(flush=True)
"""


def paired_medians(namespace, first, second, count):
    """Median round trips of count probes to each of two (host, port) targets, one flow each, the
    probes taking turns so both paths are measured under the same load; every one must be answered."""
    out = subprocess.run(["ip", "netns", "exec", namespace, sys.executable, "-c", PAIRED_CODE, str(count),
                          first[0], str(first[1]), second[0], str(second[1])],
                         capture_output=True, text=True, timeout=count * 3 + 10).stdout.split("\n")
    rows = [line.split() for line in out if line.strip()]
    columns = list(zip(*rows)) if len(rows) == count and all(len(row) == 2 for row in rows) else []
    medians = []
    for index, target in enumerate((first, second)):
        times = [float(word) for word in columns[index] if word != "none"] if columns else []
        if len(times) != count:
            raise LabError("%s:%d: %d of %d probes answered" % (target[0], target[1], len(times), count))
        medians.append(statistics.median(times))
    return medians


class Lab:
    """One topology: its namespaces (named after this run), links and processes; undone by close()."""

    def __init__(self, logs, prefix, names):
        self.logs = logs
        os.makedirs(logs, exist_ok=True)
        self.tag = "%04x" % (os.getpid() & 0xFFFF)
        self.prefix = prefix
        self.ns = {name: "%s-%s-%s" % (prefix, name, self.tag) for name in names}
        self.processes = []
        self.created = []
        self.links = 0

    def ip(self, *args, namespace=None):
        self.run(["ip"] + list(args), namespace)

    def run(self, cmd, namespace=None, stdin=None):
        full = (["ip", "netns", "exec", self.ns[namespace]] if namespace else []) + cmd
        result = subprocess.run(full, input=stdin, capture_output=True, text=True, timeout=20)
        if result.returncode != 0:
            raise LabError("%s: %s" % (" ".join(full), result.stderr.strip()))
        return result.stdout

    def sysctl(self, namespace, key, value):
        self.run(["sysctl", "-qw", "%s=%s" % (key, value)], namespace)

    def create(self):
        for name in self.ns.values():
            self.ip("netns", "add", name)
            self.created.append(name)
        for key in self.ns:
            self.ip("link", "set", "lo", "up", namespace=key)

    def link(self, a, a_address, b, b_address, a_name=None, b_name=None):
        """A veth pair between two namespaces; an end may be renamed inside its namespace (firewall rules
        name them). Created in the root namespace under names unique to this run, then moved."""
        self.links += 1
        left, right = ("%s%s%02da" % (self.prefix, self.tag, self.links), "%s%s%02db" % (self.prefix, self.tag, self.links))
        self.ip("link", "add", left, "type", "veth", "peer", "name", right)
        ends = []
        for namespace, name, rename, address in ((a, left, a_name, a_address), (b, right, b_name, b_address)):
            self.ip("link", "set", name, "netns", self.ns[namespace])
            if rename:
                self.ip("link", "set", name, "name", rename, namespace=namespace)
                name = rename
            if address:
                self.ip("addr", "add", address, "dev", name, namespace=namespace)
            self.ip("link", "set", name, "up", namespace=namespace)
            ends.append(name)
        return ends

    def bridge(self, namespace, name="br0"):
        self.ip("link", "add", name, "type", "bridge", namespace=namespace)
        self.ip("link", "set", name, "up", namespace=namespace)

    def attach(self, namespace, address, internet, rename=None, bridge="br0"):
        """A namespace's port on the bridge in the internet namespace."""
        _, port = self.link(namespace, address, internet, None, a_name=rename)
        self.ip("link", "set", port, "master", bridge, namespace=internet)

    def start(self, namespace, name, args, stdin=None, env=None):
        log = open(os.path.join(self.logs, name + ".log"), "w")
        process = subprocess.Popen(["ip", "netns", "exec", self.ns[namespace]] + args, stdin=stdin, env=env,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, bufsize=1)
        lines = queue.Queue()

        def pump():
            for line in process.stdout:
                log.write(line)
                log.flush()
                lines.put(line.rstrip("\n"))
            lines.put(None)
            log.close()

        threading.Thread(target=pump, daemon=True).start()
        self.processes.append(process)
        return process, lines

    def expect(self, lines, pattern, seconds, what):
        deadline = time.monotonic() + seconds
        seen = []
        while time.monotonic() < deadline:
            try:
                line = lines.get(timeout=max(0.05, deadline - time.monotonic()))
            except queue.Empty:
                break
            if line is None:
                raise LabError("%s: the process ended; last lines:\n  %s" % (what, "\n  ".join(seen[-15:])))
            seen.append(line)
            match = re.search(pattern, line)
            if match:
                return match, seen
        raise LabError("%s: no line matching %r within %s s; last lines:\n  %s"
                       % (what, pattern, seconds, "\n  ".join(seen[-15:])))

    def close(self):
        """Ends every process this topology started, then removes its namespaces (their links, addresses
        and firewall tables go with them)."""
        # Last started, first ended, one at a time: a plugin unloading still finds the router and
        # the services it was started after.
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        self.processes = []
        for name in reversed(self.created):
            # A process still inside would keep the namespace's devices alive; each one was ended above.
            subprocess.run(["ip", "netns", "del", name], capture_output=True, timeout=20)
        self.created = []


class Devhost:
    """A development host with the plugin in one of the namespaces, driven over its console."""

    def __init__(self, lab, build, data, namespace="home", name="devhost", extra=()):
        self.lab = lab
        self.process, self.lines = lab.start(
            namespace, name,
            [os.path.join(build, "devhost", "devhost"), "--headless", "--data-dir", data] + list(extra),
            stdin=subprocess.PIPE)
        self.seen = []
        self.sent_at = 0
        self.expect(r"type 'help' for the commands", 30, "devhost start")

    def send(self, command):
        self.sent_at = len(self.seen)
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()

    def expect(self, pattern, seconds, what):
        """The first line matching pattern since the last command was sent, read or still to come."""
        for index in range(self.sent_at, len(self.seen)):
            match = re.search(pattern, self.seen[index])
            if match:
                return match, self.seen[self.sent_at:index + 1]
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            try:
                line = self.lines.get(timeout=max(0.05, deadline - time.monotonic()))
            except queue.Empty:
                break
            if line is None:
                raise LabError("%s: the development host ended; last lines:\n  %s" % (what, "\n  ".join(self.seen[-15:])))
            self.seen.append(line)
            match = re.search(pattern, line)
            if match:
                return match, self.seen[self.sent_at:]
        raise LabError("%s: no line matching %r within %s s; last lines:\n  %s"
                       % (what, pattern, seconds, "\n  ".join(self.seen[-15:])))

    def expect_since(self, index, pattern, seconds, what):
        """Like expect, from the line at index on (a mark taken before some earlier command)."""
        self.sent_at = min(index, len(self.seen))
        return self.expect(pattern, seconds, what)

    def ui(self, command, seconds=30):
        """One ui command; returns its output lines. A failed command raises."""
        self.send(command)
        match, seen = self.expect(r"^devhost: ui(?: wait)?: (pressed|picked|typed|text|no |cannot|.*within)", seconds, command)
        if match.group(1) not in ("pressed", "picked", "typed", "text"):
            raise LabError("%s: %s" % (command, seen[-1]))
        return seen

    def panel_line(self, text, seconds=1):
        """The panel's first line holding text, waiting up to seconds; None when none shows it."""
        try:
            return self.ui('ui wait "%s" "%s" %s' % (PANEL, text, seconds), seconds + 10)[-1].split("ui: text: ", 1)[1]
        except LabError:
            return None

    def wait_panel(self, text, seconds, what):
        """The panel's first line holding text; raises when none shows it within seconds."""
        line = self.panel_line(text, seconds)
        if line is None:
            raise LabError("%s: the panel showed no line with %r within %s s" % (what, text, seconds))
        return line

    def join(self, address, password=""):
        """Joins by address through the "Join Address" line; returns the simulated game's outcome line."""
        self.ui('ui type "%s/#/Password" "%s"' % (LOBBY, password))
        self.ui('ui type "%s/##JoinAddress" "%s"' % (LOBBY, address))
        self.ui('ui press "%s/Join Address"' % LOBBY)
        match, _ = self.expect(r"\[game\] (joined LAN match at \S+|could not reach \S+|wrong password for \S+)", 15,
                               "join " + address)
        return match.group(1)

    def join_round_trip(self):
        match, _ = self.expect(r"\[game\] join round trip ([\d.]+) ms", 5, "join round trip")
        return float(match.group(1))

    def tunnel_client_pids(self):
        """PIDs of the tunnel clients the plugin started (children of the development host)."""
        # "ip netns exec" execs the program, so the child of the Popen is the host itself.
        host = self.process.pid
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/stat" % entry) as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
                with open("/proc/%s/comm" % entry) as comm:
                    name = comm.read().strip()
            except OSError:
                continue
            if int(fields[1]) == host and name.startswith("frpc"):
                found.append(int(entry))
        return found

    def quit(self):
        self.send("quit")
        if self.process.wait(timeout=30) != 0:
            raise LabError("a development host did not end cleanly")
