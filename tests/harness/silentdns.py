#!/usr/bin/python3
"""A name server that takes every query and never answers, so that a name
look-up through it hangs as one to an unreachable server does.

    silentdns.py --dir STATE

Listens on UDP port 53 of a loopback address of its own (127.x.y.z, chosen
at random so that several runs on one machine do not meet), writes that
address to STATE/address and then creates STATE/ready.
"""
import argparse
import os
import random
import socket


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    state = parser.parse_args().dir
    for _ in range(100):
        address = f"127.{random.randint(1, 254)}.{random.randint(0, 254)}.{random.randint(1, 254)}"
        udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        tcp = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            udp.bind((address, 53))
            # A resolver that falls back to TCP must not be refused at once either.
            tcp.bind((address, 53))
            tcp.listen(16)
            break
        except OSError:
            udp.close()
            tcp.close()
    else:
        raise SystemExit("silentdns: no free loopback address")
    with open(os.path.join(state, "address"), "w") as f:
        f.write(address + "\n")
    open(os.path.join(state, "ready"), "w").close()
    while True:
        udp.recvfrom(4096)


if __name__ == "__main__":
    main()
