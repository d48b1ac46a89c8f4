#!/usr/bin/env python3
"""Drives a page in headless Chromium over its DevTools pipe (standard library only).

usage: drive_page.py CHROMIUM URL STEP...

Each STEP is a JavaScript expression evaluated in the page, repeated until it gives a truthy
value (10 s at most). Prints each step's final value as a JSON line; exits 1 when a step never
held, 2 when Chromium could not be driven.
"""
import itertools
import json
import os
import subprocess
import sys
import time


class Browser:
    """Chromium with --remote-debugging-pipe: NUL-terminated JSON messages on its fds 3 and 4."""

    def __init__(self, chromium, url):
        commands, self.to_browser = os.pipe()
        from_browser, replies = os.pipe()

        def give_pipes():
            ends = os.dup(commands), os.dup(replies)  # above 4: dup2 then cannot clobber them
            os.dup2(ends[0], 3)
            os.dup2(ends[1], 4)

        self.process = subprocess.Popen(
            [chromium, '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
             '--remote-debugging-pipe', url],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=give_pipes,
            close_fds=False)
        os.close(commands)
        os.close(replies)
        self.replies = os.fdopen(from_browser, 'rb')
        self.ids = itertools.count(1)
        self.session = None

    def call(self, method, **params):
        """The result of `method`, sent to the attached page once there is one."""
        message = {'id': next(self.ids), 'method': method, 'params': params}
        if self.session:
            message['sessionId'] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b'\0')
        while True:
            text = b''
            while (byte := self.replies.read(1)) != b'\0':
                if not byte:
                    raise OSError('Chromium closed its pipe')
                text += byte
            answer = json.loads(text)
            if answer.get('id') == message['id']:
                return answer.get('result', {})

    def attach(self, deadline):
        while time.time() < deadline:
            pages = [t for t in self.call('Target.getTargets')['targetInfos']
                     if t['type'] == 'page']
            if pages:
                self.session = self.call('Target.attachToTarget', targetId=pages[0]['targetId'],
                                         flatten=True)['sessionId']
                return
            time.sleep(0.1)
        raise OSError('Chromium opened no page')

    def evaluate(self, expression):
        return self.call('Runtime.evaluate', expression=expression, returnByValue=True,
                         awaitPromise=True).get('result', {}).get('value')


def main():
    chromium, url, steps = sys.argv[1], sys.argv[2], sys.argv[3:]
    browser = Browser(chromium, url)
    try:
        browser.attach(time.time() + 30)
        for step in steps:
            deadline = time.time() + 10
            value = browser.evaluate(step)
            while not value and time.time() < deadline:
                time.sleep(0.1)
                value = browser.evaluate(step)
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
        browser.process.terminate()
        try:
            browser.process.wait(10)
        except subprocess.TimeoutExpired:
            browser.process.kill()
            browser.process.wait()


if __name__ == '__main__':
    sys.exit(main())
