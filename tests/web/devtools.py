"""A small client of Chromium's DevTools protocol over --remote-debugging-pipe:
no sockets, no packages, only the two pipes Chromium reads and writes as file
descriptors 3 and 4 (JSON messages ended by a NUL byte)."""
import argparse
import fcntl
import json
import os
import subprocess


class Browser:
    def __init__(self, binary, profile, width, height):
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()

        def pipes_as_3_and_4():
            # Moved out of the way first: a pipe may already be 3 or 4, and a
            # descriptor duplicated onto itself would stay closed on exec.
            read = fcntl.fcntl(to_browser_r, fcntl.F_DUPFD, 10)
            write = fcntl.fcntl(from_browser_w, fcntl.F_DUPFD, 10)
            os.dup2(read, 3)
            os.dup2(write, 4)

        flags = ['--headless=new', '--no-sandbox', '--remote-debugging-pipe', '--mute-audio',
                 '--no-first-run', '--no-default-browser-check', '--disable-gpu',
                 '--disable-extensions', '--disable-background-networking',
                 '--disable-renderer-backgrounding', '--disable-background-timer-throttling',
                 '--autoplay-policy=no-user-gesture-required', '--user-data-dir=' + profile,
                 f'--window-size={width},{height}', 'about:blank']
        self.process = subprocess.Popen([binary] + flags, pass_fds=(), close_fds=False,
                                        preexec_fn=pipes_as_3_and_4, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._next_id = 0
        self._buffer = b''
        self.session = None

    def _read_message(self):
        while b'\0' not in self._buffer:
            chunk = os.read(self._from_browser, 1 << 20)
            if not chunk:
                raise RuntimeError('the browser closed its pipe')
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b'\0', 1)
        return json.loads(message)

    def call(self, method, session=True, **params):
        """Sends one command (to the page's session unless session=False) and
        returns its result; a protocol error raises."""
        self._next_id += 1
        message = {'id': self._next_id, 'method': method, 'params': params}
        if session and self.session:
            message['sessionId'] = self.session
        os.write(self._to_browser, json.dumps(message).encode() + b'\0')
        while True:
            reply = self._read_message()
            if reply.get('id') != self._next_id:
                continue  # an event
            if 'error' in reply:
                raise RuntimeError(f'{method}: {reply["error"]}')
            return reply['result']

    def open_page(self):
        target = self.call('Target.createTarget', session=False, url='about:blank')
        self.session = self.call('Target.attachToTarget', session=False,
                                 targetId=target['targetId'], flatten=True)['sessionId']

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page (a promise is awaited)."""
        result = self.call('Runtime.evaluate', expression=expression, awaitPromise=True,
                           returnByValue=True)
        if 'exceptionDetails' in result:
            raise RuntimeError(f'{expression}: {result["exceptionDetails"]}')
        return result['result'].get('value')

    def key(self, kind, key, code, vk):
        """A key going down ('rawKeyDown') or up ('keyUp'), as a keyboard sends it."""
        self.call('Input.dispatchKeyEvent', type=kind, key=key, code=code,
                  windowsVirtualKeyCode=vk, nativeVirtualKeyCode=vk)

    def close(self):
        try:
            self.call('Browser.close', session=False)
        except (RuntimeError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()


def test_arguments(description, native_help, out_name):
    """The browser tests' options: the built page, the desktop build beside it,
    Chromium and where the screenshots go (default: WEB/OUT_NAME), made."""
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument('--web', default=os.path.join(root, 'build-web'), help='the built page')
    parser.add_argument('--native', default=os.path.join(root, 'build'), help=native_help)
    parser.add_argument('--chromium', default='/usr/bin/chromium')
    parser.add_argument('--out', help=f'screenshots (default: WEB/{out_name})')
    args = parser.parse_args()
    args.out = args.out or os.path.join(args.web, out_name)
    os.makedirs(args.out, exist_ok=True)
    return args
