#!/usr/bin/env python3
"""A small STUN responder for the network lab: binding responses on two addresses and two ports.

A router daemon that learns its external address by STUN also checks whether the NAT in front of it
filters: it asks for answers from the other address and the other port (CHANGE-REQUEST). This
responder binds all four address/port pairs and answers from the pair the request asks for, so a
router with the address on its own interface sees every answer, and one behind a filtering NAT
sees only the first.

    stun_responder.py --address A1 --address A2 --port P1 --port P2

Prints "stun: listening on ..." once all four sockets are bound, one line per answer after that.
"""
import argparse
import select
import socket
import struct
import sys

MAGIC = 0x2112A442
BINDING_REQUEST = 0x0001
BINDING_RESPONSE = 0x0101
MAPPED_ADDRESS = 0x0001
CHANGE_REQUEST = 0x0003
XOR_MAPPED_ADDRESS = 0x0020
RESPONSE_ORIGIN = 0x802B
OTHER_ADDRESS = 0x802C
CHANGE_IP = 0x04
CHANGE_PORT = 0x02
MAX_DATAGRAM = 1500


def address_attribute(kind, host, port, xor_with=None):
    raw = socket.inet_aton(host)
    if xor_with is not None:
        port ^= MAGIC >> 16
        raw = bytes(a ^ b for a, b in zip(raw, struct.pack("!I", MAGIC)))
    value = struct.pack("!BBH", 0, 1, port) + raw
    return struct.pack("!HH", kind, len(value)) + value


def parse_request(data):
    """(transaction id, change flags) of a binding request; None for anything else."""
    if len(data) < 20:
        return None
    kind, length, cookie = struct.unpack("!HHI", data[:8])
    if kind != BINDING_REQUEST or length + 20 > len(data) or length % 4:
        return None
    transaction = data[8:20]
    flags = 0
    offset = 20
    end = 20 + length
    while offset + 4 <= end:
        attribute, size = struct.unpack("!HH", data[offset:offset + 4])
        value = data[offset + 4:offset + 4 + size]
        if len(value) != size:
            return None
        if attribute == CHANGE_REQUEST and size == 4:
            flags = struct.unpack("!I", value)[0]
        offset += 4 + ((size + 3) & ~3)
    # A classic (RFC 3489) request carries no cookie; its id is the whole 16 bytes after the length.
    return (cookie, transaction, flags)


def response(cookie, transaction, client, origin, other):
    attributes = address_attribute(MAPPED_ADDRESS, *client)
    if cookie == MAGIC:
        attributes += address_attribute(XOR_MAPPED_ADDRESS, *client, xor_with=transaction)
    attributes += address_attribute(RESPONSE_ORIGIN, *origin) + address_attribute(OTHER_ADDRESS, *other)
    return struct.pack("!HHI", BINDING_RESPONSE, len(attributes), cookie) + transaction + attributes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", action="append", required=True)
    parser.add_argument("--port", action="append", type=int, required=True)
    args = parser.parse_args()
    if len(args.address) != 2 or len(args.port) != 2:
        parser.error("two addresses and two ports")
    sockets = {}
    for a in range(2):
        for p in range(2):
            s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            s.bind((args.address[a], args.port[p]))
            sockets[(a, p)] = s
    print("stun: listening on %s and %s, ports %d and %d" % (args.address[0], args.address[1], args.port[0],
                                                             args.port[1]), flush=True)
    by_socket = {s: key for key, s in sockets.items()}
    while True:
        readable, _, _ = select.select(list(by_socket), [], [])
        for s in readable:
            a, p = by_socket[s]
            try:
                data, client = s.recvfrom(MAX_DATAGRAM)
            except OSError:
                continue
            request = parse_request(data)
            if request is None:
                continue
            cookie, transaction, flags = request
            ra = 1 - a if flags & CHANGE_IP else a
            rp = 1 - p if flags & CHANGE_PORT else p
            origin = (args.address[ra], args.port[rp])
            other = (args.address[1 - ra], args.port[1 - rp])
            try:
                sockets[(ra, rp)].sendto(response(cookie, transaction, client, origin, other), client)
            except OSError as error:
                print("stun: answer to %s:%d failed: %s" % (client[0], client[1], error), flush=True)
                continue
            print("stun: %s:%d asked %s:%d (change %s), answered from %s:%d" % (
                client[0], client[1], args.address[a], args.port[p],
                {0: "none", CHANGE_IP: "address", CHANGE_PORT: "port", CHANGE_IP | CHANGE_PORT: "address and port"}
                .get(flags & (CHANGE_IP | CHANGE_PORT)), origin[0], origin[1]), flush=True)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
