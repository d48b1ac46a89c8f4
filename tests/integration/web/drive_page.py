#!/usr/bin/env python3
"""Drives a page in headless Chromium over its DevTools pipe (standard library only).

usage: drive_page.py CHROMIUM URL STEP...

Each STEP is a JavaScript expression evaluated in the page, repeated until it gives a truthy
value (10 s at most). Prints each step's final value as a JSON line; exits 1 when a step never
held or Chromium could not be driven.
"""
import itertools
import json
import os
import subprocess
import sys
import time


def start(chromium):
    """Chromium with --remote-debugging-pipe (it reads fd 3, writes fd 4); the process and a
    call(method, session, **params) giving the result of one DevTools command."""
    commands, to_browser = os.pipe()
    from_browser, replies = os.pipe()

    def give_pipes():
        ends = os.dup(commands), os.dup(replies)  # above 4: dup2 cannot clobber them
        os.dup2(ends[0], 3)
        os.dup2(ends[1], 4)

    browser = subprocess.Popen(
        [chromium, '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
         '--remote-debugging-pipe'],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=give_pipes,
        close_fds=False)
    os.close(commands)
    os.close(replies)
    messages = os.fdopen(from_browser, 'rb')
    ids = itertools.count(1)

    def call(method, session=None, **params):
        request = {'id': next(ids), 'method': method, 'params': params}
        if session:
            request['sessionId'] = session
        os.write(to_browser, json.dumps(request).encode() + b'\0')
        while True:
            text = b''
            while (byte := messages.read(1)) != b'\0':
                if not byte:
                    raise OSError('Chromium closed its pipe')
                text += byte
            answer = json.loads(text)
            if answer.get('id') == request['id']:
                return answer.get('result', {})

    return browser, call


def drive(call, url, steps):
    target = call('Target.createTarget', url=url)['targetId']
    session = call('Target.attachToTarget', targetId=target, flatten=True)['sessionId']
    for step in steps:
        deadline = time.time() + 10
        while True:
            value = call('Runtime.evaluate', session, expression=step,
                         returnByValue=True, awaitPromise=True).get('result', {}).get('value')
            if value or time.time() > deadline:
                break
            time.sleep(0.1)
        print(json.dumps(value), flush=True)
        if not value:
            print(f'step never held: {step}', file=sys.stderr)
            return 1
    return 0


def main():
    browser, call = start(sys.argv[1])
    try:
        return drive(call, sys.argv[2], sys.argv[3:])
    finally:
        browser.kill()  # the steps' outcome stands however long Chromium would take to end
        browser.wait()


if __name__ == '__main__':
    sys.exit(main())
