"""The page on a phone and its comforts, in headless Chromium: touch in both
layouts (DevTools touch emulation), options remembered from one visit to the
next, replays kept, refused and played, and the page installed and working
offline. Used by browser_test.py; each check raises its Failure."""
import base64
import os
import time

STATE = "JSON.parse(Module.ccall('webTestMatchState', 'string', [], []))"

# Where a part of the page is: the centre of its box, and the box.
BOX = """(() => {{
  const r = document.getElementById('{0}').getBoundingClientRect();
  return [r.left + r.width / 2, r.top + r.height / 2, r.left, r.top, r.right, r.bottom];
}})()"""

# The document scrolls neither way.
NO_SCROLL = """document.scrollingElement.scrollHeight <= innerHeight &&
               document.scrollingElement.scrollWidth <= innerWidth"""


class Touch:
    """Fingers on the emulated touch screen. Pressing and moving list every
    finger down; lifting lists the finger that comes up (Chromium ends the
    points a touchEnd names)."""

    def __init__(self, browser):
        self.browser, self.down = browser, {}

    def send(self, kind, fingers=None):
        points = [{'x': x, 'y': y, 'id': i} for i, (x, y) in self.down.items()
                  if fingers is None or i in fingers]
        self.browser.call('Input.dispatchTouchEvent', type=kind, touchPoints=points)

    def press(self, finger, x, y):
        self.down[finger] = (x, y)
        self.send('touchStart')

    def move(self, finger, x, y):
        self.down[finger] = (x, y)
        self.send('touchMove')

    def lift(self, finger):
        self.send('touchEnd', [finger])
        del self.down[finger]

    def tap(self, x, y, finger=9):
        self.press(finger, x, y)
        self.lift(finger)


def wait_for(browser, what, expression, failure, seconds=15, touch=None, tap_at=None):
    """Until `expression` holds in the page, tapping at `tap_at` every second
    meanwhile if given."""
    deadline = time.time() + seconds
    next_tap = 0
    while not browser.evaluate(expression):
        if time.time() > deadline:
            raise failure(f'touch: {what} after {seconds} s: {browser.evaluate(STATE)}')
        if tap_at and time.time() >= next_tap:
            touch.tap(*tap_at)
            next_tap = time.time() + 1
        time.sleep(0.05)


def check_layout(browser, portrait, failure):
    """Landscape: stick left of the picture, button right of it; portrait:
    both below it. Nothing scrolls."""
    picture = browser.evaluate(BOX.format('screen'))
    stick, shoot = browser.evaluate(BOX.format('stick')), browser.evaluate(BOX.format('shoot'))
    if portrait:
        placed = stick[3] >= picture[5] and shoot[3] >= picture[5] and stick[0] < shoot[0]
    else:
        placed = stick[4] <= picture[2] and shoot[2] >= picture[4]
    if not placed or not browser.evaluate(NO_SCROLL):
        raise failure(f'touch: layout: picture {picture}, stick {stick}, button {shoot}')


def play_by_touch(browser, touch, failure):
    """A tap starts a match, the stick moves player 1, the button shoots."""
    canvas = browser.evaluate(BOX.format('screen'))[:2]
    wait_for(browser, 'no match', f'{STATE}.title === 0', failure, touch=touch, tap_at=canvas)
    wait_for(browser, 'no kick-off', f'{STATE}.message === 0 && {STATE}.playState === 0',
             failure, touch=touch, tap_at=canvas)
    stick = browser.evaluate(BOX.format('stick'))
    touch.press(1, stick[0], stick[1])  # the stick held still by one finger
    shoot = browser.evaluate(BOX.format('shoot'))
    touch.press(2, shoot[0], shoot[1])  # the button by a second
    # Held until player 1 has the ball at the kick-off and charges (about 0.3 s;
    # longer where the machine is busy), five seconds at most.
    deadline = time.time() + 5
    charging = browser.evaluate(STATE)
    while (charging['shotCharge'] <= 0 or charging['ballOwner'] != charging['active']) \
            and time.time() < deadline:
        time.sleep(0.05)
        charging = browser.evaluate(STATE)
    touch.lift(2)
    if charging['shotCharge'] <= 0 or charging['ballOwner'] != charging['active']:
        raise failure(f'touch: holding the button charged no shot: {charging}')
    wait_for(browser, 'no shot', f'{STATE}.ballOwner === -1', failure, seconds=3)
    before = browser.evaluate(STATE)
    touch.move(1, stick[0] + 60, stick[1] - 60)  # up and to the right: a diagonal
    time.sleep(0.6)
    moved = browser.evaluate(STATE)
    touch.lift(1)
    # A diagonal: both coordinates change.
    if abs(moved['x'] - before['x']) < 0.01 or abs(moved['y'] - before['y']) < 0.01:
        raise failure(f'touch: the stick did not move player 1 diagonally: {before} then {moved}')
    return charging, before, moved


def menu_key(browser, touch, label, failure):
    """Opens the menu by touch and touches one of its choices."""
    touch.tap(*browser.evaluate(BOX.format('menu-button'))[:2])
    found = browser.evaluate(f"""(() => {{
      const b = [...document.querySelectorAll('#menu button')].find(b => b.textContent === '{label}');
      if (!b || !b.offsetParent) return null;
      const r = b.getBoundingClientRect();
      return [r.left + r.width / 2, r.top + r.height / 2];
    }})()""")
    if not found:
        raise failure(f'touch: the menu has no choice "{label}" showing')
    touch.tap(*found)


def check_touch(browser, page, url, load, failure):
    """Both layouts at a phone's size: the options are set by the menu and
    remembered by the next visit; each match is played by touch."""
    browser.call('Emulation.setTouchEmulationEnabled', enabled=True, maxTouchPoints=5)
    touch = Touch(browser)
    strength = None
    for width, height, name in [(390, 844, 'portrait'), (844, 390, 'landscape')]:
        browser.call('Emulation.setDeviceMetricsOverride', width=width, height=height,
                     deviceScaleFactor=2, mobile=True)
        load(browser, url)
        touch.tap(*browser.evaluate(BOX.format('screen'))[:2])  # skips the boot screen
        wait_for(browser, 'no title', "Module._webScreenShown() === 1", failure)
        check_layout(browser, name == 'portrait', failure)
        if strength is None:
            # 60 % to 20 %: the computer lets player 1 keep the ball a moment.
            for _ in range(3):
                menu_key(browser, touch, 'Strength', failure)
                touch.tap(*browser.evaluate(BOX.format('menu-button'))[:2])  # closes it
            strength = browser.evaluate(STATE)['strength']
            if strength != 20:
                raise failure(f'touch: three touches of Strength gave {strength} %')
        elif browser.evaluate(STATE)['strength'] != strength:
            raise failure(f'touch: strength {strength} not remembered: {browser.evaluate(STATE)}')
        try:
            charging, before, moved = play_by_touch(browser, touch, failure)
        finally:
            for finger in list(touch.down):
                touch.lift(finger)
        page.screenshot(f'touch_{name}.png')
        menu_key(browser, touch, 'Back', failure)
        wait_for(browser, 'no title after Back', "Module._webScreenShown() === 1", failure)
        print(f'touch, {name} {width} x {height}: tap to a match, the button charged '
              f'{charging["shotCharge"]:.4f} and shot, the stick moved player 1 '
              f'from ({before["x"]:.3f}, {before["y"]:.3f}) to ({moved["x"]:.3f}, '
              f'{moved["y"]:.3f}); strength {strength} set by the menu and remembered; '
              f'touch_{name}.png')
    browser.call('Emulation.setTouchEmulationEnabled', enabled=False)


# Drops a file of the given bytes on the page, as a person drags one there.
DROP = """(() => {{
  const bytes = Uint8Array.from(atob('{0}'), c => c.charCodeAt(0));
  const data = new DataTransfer();
  data.items.add(new File([bytes], '{1}'));
  window.dispatchEvent(new DragEvent('drop', {{ dataTransfer: data, cancelable: true }}));
}})()"""

KEPT_REPLAYS = """new Promise(done => {
  const open = indexedDB.open('soccer', 1);
  open.onsuccess = () => {
    const count = open.result.transaction('replays').objectStore('replays').count();
    count.onsuccess = () => done(count.result);
  };
})"""


def check_replays(browser, trace, failure):
    """The matches of the touch check were kept; a damaged file is refused
    with a message and the game goes on; a golden replay plays."""
    kept = browser.evaluate(KEPT_REPLAYS)
    if kept < 1:
        raise failure(f'replays: {kept} matches kept in the browser')
    browser.evaluate(DROP.format(base64.b64encode(b'not a replay at all').decode(), 'bad.replay'))
    wait_for(browser, 'no refusal', "document.getElementById('notice').textContent"
             ".includes('is not a replay')", failure, seconds=5)
    message = browser.evaluate("document.getElementById('notice').textContent")
    if browser.evaluate("Module._webScreenShown()") != 1:
        raise failure('replays: a damaged file left the title')
    data = base64.b64encode(open(trace, 'rb').read()).decode()
    browser.evaluate(DROP.format(data, 'golden.replay'))
    wait_for(browser, 'the replay not playing',
             "Module.soccerReplaying === true && Module._webScreenShown() === 2", failure,
             seconds=5)
    print(f'replays: {kept} kept in the browser; a damaged file: "{message}"; a golden one plays')


def check_offline(browser, url, load, server, icons, failure):
    """Once visited, the service worker keeps the page's files: with the server
    gone the page loads and runs. The manifest names the mascot's icons, the
    ones soccer-artgen makes (`icons`: its folder in the desktop build)."""
    load(browser, url)
    wait_for(browser, 'no service worker in control', 'navigator.serviceWorker.controller !== null',
             failure, seconds=15)
    manifest = browser.evaluate("fetch('manifest.webmanifest').then(r => r.json())")
    for icon in manifest['icons']:
        got = base64.b64decode(browser.evaluate(f"""fetch('{icon["src"]}').then(r => r.arrayBuffer())
          .then(b => btoa(String.fromCharCode(...new Uint8Array(b))))"""))
        made = os.path.join(icons, os.path.basename(icon['src']))
        if os.path.exists(made) and open(made, 'rb').read() != got:
            raise failure(f'offline: {icon["src"]} is not what soccer-artgen makes')
    server.shutdown()
    server.server_close()
    load(browser, url)
    wait_for(browser, 'no boot screen offline', "Module._webScreenShown() === 0", failure,
             seconds=10)
    print(f'offline: with the server gone the page loads from its service worker and runs; '
          f'"{manifest["name"]}", {manifest["display"]}, icons '
          f'{", ".join(i["sizes"] for i in manifest["icons"])}')


# Notes the time of the next F4's key-down for the audio node's probe, which
# then notes when the first sample that is not silent will sound.
ARM_PROBE = """(() => {
  const audio = Module.soccerAudio;
  audio.probe = {};
  window.addEventListener('keydown', (e) => { if (e.key === 'F4') audio.probe.key = e.timeStamp; },
                          { capture: true, once: true });
})()"""


def check_sound_latency(browser, page, url, load, failure):
    """From F4's key-down, which starts the title music again, to the music's
    first sample leaving the audio node, through the audio worklet and through
    the script processor: five times each, the median."""
    for query in ['', '?audio=script']:
        load(browser, url + query)
        page.press('down', 'ESC')
        page.press('up', 'ESC')
        wait_for(browser, 'no sound', "Module.soccerAudio && Module.soccerAudio.node && "
                 "Module.soccerAudio.context.state === 'running'", failure, seconds=10)
        heard = []
        for _ in range(5):
            for turn in ['off', 'on']:
                if turn == 'on':
                    browser.evaluate(ARM_PROBE)
                page.press('down', 'F4')
                page.press('up', 'F4')
                time.sleep(0.4)
            wait_for(browser, 'no music after F4', 'Module.soccerAudio.probe.heard !== undefined',
                     failure, seconds=5)
            heard.append(browser.evaluate('Module.soccerAudio.probe.heard'))
        kind = browser.evaluate('Module.soccerAudio.kind')
        heard.sort()
        print(f'sound latency through the {kind}, F4 to the music\'s first sample (ms): median '
              f'{heard[2]:.1f}, from {heard[0]:.1f} to {heard[4]:.1f}; the context\'s own base '
              f'latency {1000 * browser.evaluate("Module.soccerAudio.context.baseLatency"):.1f}')


CANVAS = """(() => {
  const c = document.getElementById('screen');
  return [c.width, c.height, c.clientWidth, c.clientHeight, c.className];
})()"""


def check_scaling(browser, url, load, failure):
    """At 1000 x 800: sharp shows the largest box with the frame enlarged to
    the nearest whole multiple, integer the largest whole multiple, fit the
    largest box with the frame's own pixels; the choice outlives a reload."""
    browser.call('Emulation.setDeviceMetricsOverride', width=1000, height=800,
                 deviceScaleFactor=1, mobile=False)
    load(browser, url)
    got = {}
    for scale in ['integer', 'fit', 'sharp', 'fit']:
        browser.evaluate(f"""(() => {{ const s = document.getElementById('scale');
          s.value = '{scale}'; s.dispatchEvent(new Event('change')); }})()""")
        time.sleep(0.3)  # a frame or two shown
        got[scale] = browser.evaluate(CANVAS)
    box = got['sharp'][2:4]
    k = round(box[0] / 640)
    want = {'sharp': [640 * k, 480 * k] + box + [''], 'integer': [640, 480, 640, 480, 'blocks'],
            'fit': [640, 480] + box + ['blocks']}
    if got != want or box[0] < 900:
        raise failure(f'scaling: {got}, not {want}')
    load(browser, url)
    wait_for(browser, 'fit not remembered', "document.getElementById('scale').value === 'fit'",
             failure, seconds=5)
    print('scaling at 1000 x 800: ' + ', '.join(f'{k} {v[0]} x {v[1]} shown at {v[2]} x {v[3]}'
                                                for k, v in got.items()) + '; fit remembered')
