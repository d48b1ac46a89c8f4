#!/usr/bin/env python3
"""Drives a page in headless Chromium over its DevTools protocol (standard library only).

usage: drive_page.py CHROMIUM URL STEP...

Each STEP is a JavaScript expression evaluated in the page, repeated until it gives a truthy
value (10 s at most). Prints each step's final value as a JSON line; exits 1 when a step never
held, 2 when Chromium could not be driven.
"""
import base64
import json
import os
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request


class WebSocket:
    """A minimal client WebSocket (RFC 6455): masked text frames out, whole frames in."""

    def __init__(self, url):
        host_port, path = url[len('ws://'):].split('/', 1)
        host, port = host_port.split(':')
        self.sock = socket.create_connection((host, int(port)), timeout=10)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((f'GET /{path} HTTP/1.1\r\nHost: {host_port}\r\nUpgrade: websocket\r\n'
                           f'Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n'
                           'Sec-WebSocket-Version: 13\r\n\r\n').encode())
        head = b''
        while b'\r\n\r\n' not in head:
            head += self.sock.recv(1)
        if b' 101 ' not in head.split(b'\r\n')[0]:
            raise OSError('no websocket upgrade: ' + head.decode(errors='replace'))

    def send(self, text):
        data = text.encode()
        header = bytes([0x81])
        if len(data) < 126:
            header += bytes([0x80 | len(data)])
        else:
            header += bytes([0x80 | 126]) + struct.pack('!H', len(data))
        mask = os.urandom(4)
        self.sock.sendall(header + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))

    def _read(self, n):
        data = b''
        while len(data) < n:
            part = self.sock.recv(n - len(data))
            if not part:
                raise OSError('connection closed')
            data += part
        return data

    def receive(self):
        """The next message's text (fragments joined; control frames skipped)."""
        message = b''
        while True:
            first, second = self._read(2)
            length = second & 0x7f
            if length == 126:
                length = struct.unpack('!H', self._read(2))[0]
            elif length == 127:
                length = struct.unpack('!Q', self._read(8))[0]
            payload = self._read(length)
            if first & 0x0f in (0x8, 0x9, 0xa):
                continue
            message += payload
            if first & 0x80:
                return message.decode()


class Page:
    def __init__(self, ws):
        self.ws = ws
        self.next_id = 0

    def evaluate(self, expression):
        self.next_id += 1
        self.ws.send(json.dumps({'id': self.next_id, 'method': 'Runtime.evaluate',
                                 'params': {'expression': expression, 'returnByValue': True,
                                            'awaitPromise': True}}))
        while True:
            answer = json.loads(self.ws.receive())
            if answer.get('id') == self.next_id:
                return answer.get('result', {}).get('result', {}).get('value')


def page_socket_url(profile, deadline):
    port_file = os.path.join(profile, 'DevToolsActivePort')
    while time.time() < deadline:
        if os.path.exists(port_file):
            with open(port_file) as f:
                port = f.readline().strip()
            if port:
                with urllib.request.urlopen(f'http://127.0.0.1:{port}/json/list') as r:
                    for target in json.load(r):
                        if target.get('type') == 'page':
                            return target['webSocketDebuggerUrl']
        time.sleep(0.1)
    raise OSError('Chromium did not open its DevTools port')


def main():
    chromium, url, steps = sys.argv[1], sys.argv[2], sys.argv[3:]
    with tempfile.TemporaryDirectory() as profile:
        browser = subprocess.Popen(
            [chromium, '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
             '--remote-debugging-address=127.0.0.1', '--remote-debugging-port=0',
             f'--user-data-dir={profile}', url],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            page = Page(WebSocket(page_socket_url(profile, time.time() + 30)))
            for step in steps:
                deadline = time.time() + 10
                value = page.evaluate(step)
                while not value and time.time() < deadline:
                    time.sleep(0.1)
                    value = page.evaluate(step)
                print(json.dumps(value), flush=True)
                if not value:
                    print(f'step never held: {step}', file=sys.stderr)
                    return 1
            return 0
        except OSError as error:
            print(f'cannot drive Chromium: {error}', file=sys.stderr)
            return 2
        finally:
            # A loaded machine may take Chromium longer to end; the steps' outcome stands.
            browser.terminate()
            try:
                browser.wait(10)
            except subprocess.TimeoutExpired:
                browser.kill()
                browser.wait()


if __name__ == '__main__':
    sys.exit(main())
