#!/usr/bin/env python3
"""Cross-play on 127.0.0.1: soccer-relay serves the page and its rooms, a page
in headless Chromium creates a room, the desktop's game without a window
(crossplay_guest) joins it by its code, and a scripted match is played to its
end with the page's keys; a second page opens a few seconds in and watches
from the match's start. Both players must keep the same replay, it must play
back to the state hash both recorded, and the spectator must stop on that
hash too. Screenshots of the page's lobby, the match in play and the
spectator's view are kept. Exits 1 on the first failed check."""
import base64
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from devtools import Browser, test_arguments  # noqa: E402

LIMIT_S = 240  # the match takes about two minutes of real time

STATUS = "Module.ccall('webOnlineStatus', 'string', [], []).split('\\n')"
# Every replay the page records, as base64, kept for the test to read.
CATCH_REPLAYS = """(() => {
  window.soccerReplays = [];
  const keep = Module.onReplayRecorded;
  Module.onReplayRecorded = (bytes) => {
    let text = '';
    for (let i = 0; i < bytes.length; i += 8192)
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
    window.soccerReplays.push(btoa(text));
    if (keep) keep(bytes);
  };
})()"""
# The page's keys: name -> the browser's key, code and virtual key.
KEYS = {'Up': ('ArrowUp', 'ArrowUp', 38), 'Left': ('ArrowLeft', 'ArrowLeft', 37),
        'Down': ('ArrowDown', 'ArrowDown', 40), 'Right': ('ArrowRight', 'ArrowRight', 39),
        'Control': ('Control', 'ControlLeft', 17), 'Enter': ('Enter', 'Enter', 13),
        'Space': (' ', 'Space', 32)}


class Failure(Exception):
    pass


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def wait(what, test, seconds):
    deadline = time.time() + seconds
    while True:
        value = test()
        if value:
            return value
        if time.time() > deadline:
            raise Failure(f'{what}: not within {seconds} s')
        time.sleep(0.1)


def start_relay(relay, web, port, log):
    process = subprocess.Popen([relay, '--address', '127.0.0.1', '--port', str(port), '--web', web],
                               stdout=log, stderr=subprocess.STDOUT)

    def serving():
        try:
            return urllib.request.urlopen(f'http://127.0.0.1:{port}/index.html', timeout=1).status == 200
        except OSError:
            return False
    wait('soccer-relay serving the page', serving, 10)
    return process


def key(browser, kind, name):
    browser.key(kind, *KEYS[name])


def tap(browser, name):
    key(browser, 'rawKeyDown', name)
    key(browser, 'keyUp', name)


def screenshot(browser, out, name):
    shot = browser.call('Page.captureScreenshot', format='png')
    with open(os.path.join(out, name), 'wb') as f:
        f.write(base64.b64decode(shot['data']))


def open_page(browser, url):
    browser.call('Emulation.setFocusEmulationEnabled', enabled=True)
    browser.call('Emulation.setDeviceMetricsOverride', width=1000, height=760, deviceScaleFactor=1,
                 mobile=False)
    browser.call('Page.navigate', url=url)
    wait(url, lambda: browser.evaluate('!!(window.soccerReady && Module._webOnlineStatus)'), 60)


def create_room(browser, out):
    browser.evaluate(CATCH_REPLAYS)
    browser.evaluate("document.getElementById('online-create').click()")
    status = wait('a room from the relay', lambda: (lambda s: s[0] == 'room' and s)(
        browser.evaluate(STATUS)), 10)
    code = status[1]
    link = wait('the room\'s link on the page', lambda: browser.evaluate(
        "(document.getElementById('online-link') || {}).href"), 5)
    if not link.endswith('?room=' + code):
        raise Failure(f'the page shares {link} for room {code}')
    time.sleep(0.3)
    screenshot(browser, out, 'crossplay_lobby.png')
    print(f'page: room {code}, shared as {link}')
    return code


def use(browser, session):
    browser.session = session
    return browser


def start_watching(browser, url, code):
    """A second page, in a window of its own so that it draws, watches the room."""
    target = browser.call('Target.createTarget', session=False, url='about:blank', newWindow=True)
    session = browser.call('Target.attachToTarget', session=False, targetId=target['targetId'],
                           flatten=True)['sessionId']
    player = browser.session
    use(browser, session)
    open_page(browser, url)
    browser.evaluate(f"document.getElementById('online-code').value = '{code}'")
    browser.evaluate("document.getElementById('online-watch').click()")
    wait('the spectator watching', lambda: browser.evaluate(STATUS)[0] == 'playing', 10)
    use(browser, player)
    return session


def play_match(browser, guest, out, watch):
    """The page's player runs and shoots; a flow key now and then starts each
    kick-off and closes the result at the end. `watch()` starts the spectator
    a few seconds in and returns its session."""
    start = time.time()
    directions = ['Up', 'Left', 'Down', 'Right']
    round_ = 0
    player = browser.session
    shot = False
    spectator = None
    while guest.poll() is None and time.time() - start < LIMIT_S:
        round_ += 1
        held = directions[round_ % 4]
        key(browser, 'rawKeyDown', held)
        key(browser, 'rawKeyDown', 'Control')
        time.sleep(0.7)
        key(browser, 'keyUp', held)
        key(browser, 'keyUp', 'Control')
        if round_ % 4 == 0:
            tap(browser, 'Enter')
        if time.time() - start > 110:
            tap(browser, 'Space')
        if os.environ.get('CROSSPLAY_TRACE') and round_ % 40 == 0:
            screenshot(browser, out, f'trace_{round_}.png')
        if not spectator and time.time() - start > 6:
            spectator = watch()
        if not shot and time.time() - start > 12:
            screenshot(browser, out, 'crossplay_match.png')
            use(browser, spectator)
            screenshot(browser, out, 'crossplay_spectator.png')
            use(browser, player)
            shot = True
    return time.time() - start, spectator


def main():
    args = test_arguments(__doc__.splitlines()[0], 'the desktop build with soccer-relay, soccer-sim and crossplay_guest', 'crossplay-test')
    out = args.out
    work = tempfile.mkdtemp(prefix='soccer-crossplay-')
    port = free_port()
    url = f'http://127.0.0.1:{port}/index.html'
    log = open(os.path.join(out, 'relay.log'), 'w')
    relay = start_relay(os.path.join(args.native, 'soccer-relay'), args.web, port, log)
    browser = Browser(args.chromium, os.path.join(work, 'profile'), 1000, 760)
    guest = None
    try:
        browser.open_page()
        open_page(browser, url)
        code = create_room(browser, out)
        guest_replay = os.path.join(work, 'guest.replay')
        guest = subprocess.Popen([os.path.join(args.native, 'tests', 'web', 'crossplay_guest'),
                                  str(port), code, guest_replay, str(LIMIT_S)])
        wait('the match starting', lambda: browser.evaluate(STATUS)[0] == 'playing', 20)
        seconds, spectator = play_match(browser, guest, out,
                                        lambda: start_watching(browser, url, code))
        if guest.wait(timeout=10) != 0:
            raise Failure('the desktop side played no match out')
        replays = wait('the page\'s replay', lambda: browser.evaluate('window.soccerReplays'), 10)
        page_replay = os.path.join(work, 'page.replay')
        with open(page_replay, 'wb') as f:
            f.write(base64.b64decode(replays[-1]))
        hash_ = check_replays(args.native, page_replay, guest_replay, seconds)
        use(browser, spectator)
        status = wait('the spectator at the end', lambda: (lambda s: s[0] == 'ended' and s)(
            browser.evaluate(STATUS)), 30)
        passes, watched = status[3].split()
        if watched != hash_:
            raise Failure(f'the spectator stopped on {watched} after {passes} passes, not {hash_}')
        print(f'spectator: joined 6 s in, stopped on the same state hash after {passes} passes')
        print('screenshots in', out)
        return 0
    except (Failure, RuntimeError, subprocess.SubprocessError) as failure:
        print('FAILED:', failure)
        return 1
    finally:
        if guest and guest.poll() is None:
            guest.kill()
        browser.close()
        relay.terminate()
        relay.wait(timeout=10)
        log.close()
        shutil.rmtree(work, ignore_errors=True)


def check_replays(native, page_replay, guest_replay, seconds):
    with open(page_replay, 'rb') as a, open(guest_replay, 'rb') as b:
        if a.read() != b.read():
            raise Failure('the page\'s replay and the desktop\'s differ')
    sim = os.path.join(native, 'soccer-sim')
    played = subprocess.run([sim, '--replay', page_replay, '--json'], check=True,
                            capture_output=True, text=True).stdout
    if '"asRecorded":true' not in played:
        raise Failure(f'the replay plays otherwise than both sides recorded: {played}')
    hash_ = played.split('"stateHash":"')[1].split('"')[0]
    passes = played.split('"passes":')[1].split(',')[0]
    print(f'cross-play: a match of {passes} passes in {seconds:.0f} s; page and desktop kept the '
          f'same replay, which plays to their state hash {hash_}')
    return hash_


if __name__ == '__main__':
    sys.exit(main())
