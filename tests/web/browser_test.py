#!/usr/bin/env python3
"""The game in a real browser: Chromium headless loads the page from a local
server, keys go in through the DevTools protocol, and the canvas must hold the
desktop's frames pixel for pixel: the golden boot, title and first match
frames, and a frame of a match in play against soccer-snapshot's. The sound
heard and whole matches of soccer-sim must be the desktop's to the bit. The
real page is then played as a person would: it boots by itself, ESC shows the
title, F1 a match; and on a phone's screen by touch, in portrait and landscape
(page_checks.py), with its options remembered, its replays kept and played,
and installed to play offline. Prints the browser's timings of a match pass and of the
mixer. Exits 1 on the first failed check."""
import base64
import ctypes
import ctypes.util
import functools
import http.server
import json
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from devtools import Browser, test_arguments  # noqa: E402
import page_checks  # noqa: E402

# Key names of soccer-snapshot's --key, as the browser names the key.
KEYS = {
    'ESC': ('Escape', 'Escape', 27), 'F1': ('F1', 'F1', 112), 'F2': ('F2', 'F2', 113),
    'UP': ('ArrowUp', 'ArrowUp', 38), 'LEFT': ('ArrowLeft', 'ArrowLeft', 37),
    'RIGHT': ('ArrowRight', 'ArrowRight', 39), 'DOWN': ('ArrowDown', 'ArrowDown', 40),
    'CTRL': ('Control', 'ControlLeft', 17), 'F4': ('F4', 'F4', 115),
}

# The scripted run of the match in play: pass, down or up, key (as --key).
MATCH_SCRIPT = [(2, 'down', 'ESC'), (3, 'up', 'ESC'), (200, 'down', 'F1'), (201, 'up', 'F1'),
                (300, 'down', 'UP'), (301, 'up', 'UP'), (330, 'down', 'UP'), (420, 'down', 'RIGHT'),
                (470, 'down', 'CTRL'), (490, 'up', 'CTRL'), (520, 'up', 'RIGHT'), (560, 'up', 'UP')]
MATCH_SHOT = 600


class PngImage(ctypes.Structure):
    """libpng's png_image, for its simplified reader."""
    _fields_ = [('opaque', ctypes.c_void_p), ('version', ctypes.c_uint32),
                ('width', ctypes.c_uint32), ('height', ctypes.c_uint32),
                ('format', ctypes.c_uint32), ('flags', ctypes.c_uint32),
                ('colormap_entries', ctypes.c_uint32), ('warning_or_error', ctypes.c_uint32),
                ('message', ctypes.c_char * 64)]


def read_png(path):
    """PNG -> (width, height, bytes of R, G, B per pixel), read by libpng as the
    game's own tests read it (render/device_png.cpp), any alpha composed onto black."""
    png = ctypes.CDLL(ctypes.util.find_library('png16') or 'libpng16.so.16')
    image = PngImage(version=1)  # PNG_IMAGE_VERSION
    if not png.png_image_begin_read_from_file(ctypes.byref(image), os.fsencode(path)):
        raise Failure(f'{path}: {image.message.decode()}')
    image.format = 2  # PNG_FORMAT_RGB
    pixels = ctypes.create_string_buffer(image.width * image.height * 3)
    if not png.png_image_finish_read(ctypes.byref(image), None, pixels, 0, None):
        raise Failure(f'{path}: {image.message.decode()}')
    return image.width, image.height, pixels.raw


# The canvas's pixels at 640 x 480 (one of each whole multiple's blocks), RGB,
# read through a 2D copy whether it shows them through WebGL or 2D.
CANVAS_PIXELS = """(() => {
  const canvas = document.getElementById('screen');
  const k = canvas.width / 640;
  const copy = document.createElement('canvas');
  copy.width = canvas.width;
  copy.height = canvas.height;
  const context = copy.getContext('2d');
  context.drawImage(canvas, 0, 0);
  const data = context.getImageData(0, 0, canvas.width, canvas.height).data;
  const out = new Uint8Array(640 * 480 * 3);
  for (let y = 0; y < 480; y++)
    for (let x = 0; x < 640; x++) {
      const i = ((y * k) * canvas.width + x * k) * 4, o = (y * 640 + x) * 3;
      out[o] = data[i]; out[o + 1] = data[i + 1]; out[o + 2] = data[i + 2];
    }
  let text = '';
  for (let i = 0; i < out.length; i += 32768)
    text += String.fromCharCode.apply(null, out.subarray(i, i + 32768));
  return btoa(text);
})()"""


CANVAS_SIZE = """(() => {
  const canvas = document.getElementById('screen');
  return `${canvas.width} x ${canvas.height} through ${Module.soccerView.kind}, ` +
         `shown at ${canvas.clientWidth} x ${canvas.clientHeight}`;
})()"""

# Counts the key events the page has dispatched (installed once per page).
COUNT_KEYS = """(() => {
  if (window.soccerKeyEvents === undefined) {
    window.soccerKeyEvents = 0;
    const count = () => { window.soccerKeyEvents++; };
    window.addEventListener('keydown', count, true);
    window.addEventListener('keyup', count, true);
  }
  return window.soccerKeyEvents;
})()"""


class Failure(Exception):
    pass


def write_png(path, pixels, width=640, height=480):
    """RGB bytes as an 8-bit PNG."""
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    rows = b''.join(b'\0' + pixels[y * width * 3:(y + 1) * width * 3] for y in range(height))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
                chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))


def compare(name, got, want, out):
    """Every pixel the same, or a failure naming the first ones that differ
    (the browser's frame is then kept as OUT/differs_NAME.png)."""
    if len(got) != len(want):
        raise Failure(f'{name}: {len(got)} bytes of pixels instead of {len(want)}')
    differing = [i for i in range(0, len(want), 3) if got[i:i + 3] != want[i:i + 3]]
    if differing:
        first = ', '.join(f'({i // 3 % 640}, {i // 3 // 640}) {got[i:i + 3].hex()} not '
                          f'{want[i:i + 3].hex()}' for i in differing[:5])
        kept = os.path.join(out, 'differs_' + name.split()[0].replace('.png', '') + '.png')
        write_png(kept, got)
        raise Failure(f'{name}: {len(differing)} pixels differ, first {first}; frame in {kept}')
    print(f'{name}: all 307200 pixels equal')


class Page:
    def __init__(self, browser, out):
        self.browser, self.out = browser, out

    def call(self, name, returns, *args):
        types = ', '.join("'string'" if isinstance(a, str) else "'number'" for a in args)
        values = ', '.join(repr(a) if isinstance(a, str) else str(a) for a in args)
        return self.browser.evaluate(f"Module.ccall('{name}', {returns}, [{types}], [{values}])")

    def passes(self, count, ms=16):
        return self.call('webTestPasses', "'string'", count, ms) if count > 0 else None

    def press(self, kind, name):
        """Sends a key and waits until the page has dispatched it: the
        protocol's answer may come before the page's listeners ran."""
        key, code, vk = KEYS[name]
        counted = self.browser.evaluate(COUNT_KEYS)
        self.browser.key('rawKeyDown' if kind == 'down' else 'keyUp', key, code, vk)
        deadline = time.time() + 10
        while self.browser.evaluate('window.soccerKeyEvents') == counted:
            if time.time() > deadline:
                raise Failure(f'the page did not receive {name} {kind}')
            time.sleep(0.005)

    def play(self, script, last):
        """Passes 1 to `last`, each key of the script sent before its pass."""
        self.call('webTestStart', 'null', 1)
        done = 0
        for at, kind, name in sorted(script, key=lambda k: k[0]):
            if at > last:
                break
            self.passes(at - 1 - done)
            done = at - 1
            self.press(kind, name)
        return self.passes(last - done)

    def canvas(self):
        return base64.b64decode(self.browser.evaluate(CANVAS_PIXELS))

    def screenshot(self, name):
        shot = self.browser.call('Page.captureScreenshot', format='png')
        path = os.path.join(self.out, name)
        with open(path, 'wb') as f:
            f.write(base64.b64decode(shot['data']))
        return path


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(directory):
    handler = functools.partial(QuietHandler, directory=directory)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def load(browser, url, ready='window.soccerReady === true', seconds=60):
    browser.call('Page.navigate', url=url)
    deadline = time.time() + seconds
    while not browser.evaluate(f'!!({ready})'):
        if time.time() > deadline:
            raise Failure(f'{url}: not ready after {seconds} s')
        time.sleep(0.1)


def snapshot_args(script, last, shot, wav):
    args = ['--frames', str(last), '--shot', f'{last}:{shot}', '--wav', wav]
    for at, kind, name in script:
        args += ['--key', f'{at}:{kind}:{name}']
    return args


def wav_hash(path):
    """FNV-1a over the sample bytes of a WAV file, as the page hashes them."""
    data = open(path, 'rb').read()
    at = data.index(b'data') + 8
    h = 0x811C9DC5
    for byte in data[at:]:
        h = ((h ^ byte) * 16777619) & 0xFFFFFFFF
    return f'{h:08x}'


def check_goldens(page, golden):
    """The desktop's golden frames, each from a fresh start of the game."""
    page.play([], 1)
    print('canvas:', page.browser.evaluate(CANVAS_SIZE))
    runs = [('boot.png', [], 560),
            ('title.png', [(2, 'down', 'ESC'), (3, 'up', 'ESC')], 200),
            ('match_first_frame.png', [(2, 'down', 'ESC'), (3, 'up', 'ESC'), (200, 'down', 'F1')],
             200)]
    for name, script, last in runs:
        page.play(script, last)
        _, _, want = read_png(os.path.join(golden, name))
        compare(f'{name} (pass {last})', page.canvas(), want, page.out)
        page.screenshot('browser_' + name)


def check_match_in_play(page, native, out):
    """A match played on the keys against soccer-snapshot's frame and sound."""
    sound = page.play(MATCH_SCRIPT, MATCH_SHOT)
    shot, wav = os.path.join(out, 'native_match.png'), os.path.join(out, 'native_match.wav')
    subprocess.run([os.path.join(native, 'soccer-snapshot')] +
                   snapshot_args(MATCH_SCRIPT, MATCH_SHOT, shot, wav), check=True)
    compare(f'match_in_play (pass {MATCH_SHOT})', page.canvas(), read_png(shot)[2], out)
    page.screenshot('browser_match_in_play.png')
    if sound != wav_hash(wav):
        raise Failure(f'sound of {MATCH_SHOT} passes: hash {sound}, the desktop {wav_hash(wav)}')
    print(f'sound of {MATCH_SHOT} passes: hash {sound}, the same as the desktop')


def check_simulation(page, native):
    """Whole matches, single and two players, at random frame times."""
    for args in ['--matches 2 --seed 11 --strength 100 --json',
                 '--matches 1 --seed 5 --versus scripted --ms-range 1:60 --json']:
        start = time.perf_counter()
        want = subprocess.run([os.path.join(native, 'soccer-sim')] + args.split(), check=True,
                              capture_output=True, text=True).stdout
        middle = time.perf_counter()
        got = page.call('webTestSimulate', "'string'", args)
        end = time.perf_counter()
        if got != want:
            raise Failure(f'soccer-sim {args}:\n browser {got}\n desktop {want}')
        print(f'soccer-sim {args}: the same {len(want.splitlines())} matches '
              f'(browser {end - middle:.2f} s, desktop {middle - start:.2f} s)')


# A gamepad in the standard layout, as the Gamepad API reports one: the page
# sees it in place of real pads; the test presses its buttons.
FAKE_PAD = """(() => {
  const button = () => ({ pressed: false, touched: false, value: 0 });
  window.soccerPad = { id: 'test pad', index: 0, connected: true, mapping: 'standard',
                       timestamp: 0, axes: [0, 0, 0, 0], buttons: Array.from({ length: 17 }, button) };
  navigator.getGamepads = () => [window.soccerPad];
})()"""


def check_gamepad(page, golden):
    """A pad's Start on the title is player 1's F1: the match's first frame."""
    page.play([(2, 'down', 'ESC'), (3, 'up', 'ESC')], 199)
    page.browser.evaluate(FAKE_PAD)
    page.browser.evaluate('window.soccerPad.buttons[9].pressed = true')  # Start
    page.passes(1)
    page.browser.evaluate('window.soccerPad.buttons[9].pressed = false')
    _, _, want = read_png(os.path.join(golden, 'match_first_frame.png'))
    compare('match_first_frame.png (pass 200, Start on a pad)', page.canvas(), want, page.out)


def check_canvas_2d(browser, page, url, golden):
    """Without WebGL the 2D canvas shows the same pixels."""
    load(browser, url + '?test&canvas=2d')
    page.play([(2, 'down', 'ESC'), (3, 'up', 'ESC'), (200, 'down', 'F1')], 200)
    print('canvas:', browser.evaluate(CANVAS_SIZE))
    _, _, want = read_png(os.path.join(golden, 'match_first_frame.png'))
    compare('match_first_frame.png (pass 200, 2D canvas)', page.canvas(), want, page.out)
    print('browser benchmark, 2D canvas (ms):', page.call('webBenchPasses', "'string'", 100, 16))


def check_traces(page, native, traces):
    """Every golden trace's replay plays in the browser to the desktop's
    hashes, and to where its recording ended, also when every pass is rolled
    back eight passes and run again (--sync-test 8)."""
    names = sorted(n for n in os.listdir(traces) if n.endswith('.replay'))
    for name in names:
        path = os.path.join(traces, name)
        data = base64.b64encode(open(path, 'rb').read()).decode()
        got = json.loads(page.browser.evaluate(f"""(() => {{
          const bytes = Uint8Array.from(atob('{data}'), c => c.charCodeAt(0));
          const at = Module._malloc(bytes.length);
          Module.HEAPU8.set(bytes, at);
          const figures = Module.ccall('webTestReplay', 'string',
                                       ['number', 'number', 'number'], [at, bytes.length, 8]);
          Module._free(at);
          return figures;
        }})()"""))
        want = json.loads(subprocess.run([os.path.join(native, 'soccer-sim'), '--replay', path,
                                          '--json'], check=True, capture_output=True,
                                         text=True).stdout)
        differing = [k for k in got if got[k] != want.get(k)]
        if differing or not got['asRecorded']:
            raise Failure(f'{name}: browser {got}, desktop {want}')
        print(f'golden trace {name}: {got["passes"]} passes, MatchState hash '
              f'{got["matchStateHash"]}, state hash {got["stateHash"]}, as on the desktop and '
              'as recorded, under --sync-test 8')


def print_benchmarks(browser, page, url, native):
    """A match pass in the browser with WebAssembly SIMD and without, beside
    the desktop's (shell_bench's PassInMatch, where the build has it)."""
    for build, query in [('SIMD', '?test'), ('without SIMD', '?test&simd=0')]:
        load(browser, url + query)
        page.play(MATCH_SCRIPT, MATCH_SHOT)
        if screen_shown(page.canvas()) != 'match':
            raise Failure('benchmark: no match on the canvas')
        print(f'browser benchmark, {browser.evaluate("Module.soccerBuild")}.wasm ({build}), '
              'match passes of 16 ms (ms):', page.call('webBenchPasses', "'string'", 300, 16))
    print('browser benchmark, mixer (ms):', page.call('webBenchAudio', "'string'", 10))
    bench = os.path.join(native, 'bench', 'shell', 'shell_bench')
    if os.path.exists(bench):
        result = json.loads(subprocess.run(
            [bench, '--benchmark_filter=PassInMatch', '--benchmark_format=json',
             '--benchmark_min_time=1'], check=True, capture_output=True, text=True).stdout)
        print(f'desktop benchmark, PassInMatch: {result["benchmarks"][0]["real_time"]:.3f} ms')


def screen_shown(pixels):
    """Which screen a frame shows: 'boot', 'title', 'match' or None."""
    rgb = [pixels[i:i + 3] for i in range(0, len(pixels), 3)]
    if sum(1 for p in rgb if p[1] > p[0] + 60 and p[1] > p[2] + 60) > len(rgb) // 2:
        return 'match'
    if rgb[0] == bytes.fromhex('000000') and rgb.count(bytes.fromhex('a397ff')) > 10000:
        return 'boot'
    if rgb[0] == bytes.fromhex('4f44d8'):
        return 'title'
    return None


def wait_for_screen(page, screen, seconds=10):
    deadline = time.time() + seconds
    while screen_shown(page.canvas()) != screen:
        if time.time() > deadline:
            raise Failure(f'real page: no {screen} screen after {seconds} s')
        time.sleep(0.2)


# How many frames the page's audio node has played, once its context runs.
AUDIO_FRAMES = """(() => {
  const audio = Module.soccerAudio;
  return audio && audio.context.state === 'running' ? audio.frames : -1;
})()"""


def check_pause(browser, page):
    """Without the focus the picture stands still; with it, it moves again."""
    browser.evaluate("window.dispatchEvent(new FocusEvent('blur'))")
    time.sleep(0.3)
    before = page.canvas()
    time.sleep(0.5)
    if page.canvas() != before:
        raise Failure('real page: the game runs on without the focus')
    browser.evaluate("window.dispatchEvent(new FocusEvent('focus'))")
    deadline = time.time() + 5
    while page.canvas() == before:
        if time.time() > deadline:
            raise Failure('real page: the game does not go on when the focus is back')
        time.sleep(0.1)


def check_real_page(browser, page, url):
    """The page as a person meets it: it boots by itself; ESC shows the title
    and starts the sound, F1 a match; ESC twice ends the game."""
    load(browser, url)
    wait_for_screen(page, 'boot')
    page.screenshot('page_boot.png')
    for name, screen in [('ESC', 'title'), ('F1', 'match')]:
        page.press('down', name)
        page.press('up', name)
        wait_for_screen(page, screen)
        page.screenshot(f'page_{screen}.png')
    check_pause(browser, page)
    heard = browser.evaluate(AUDIO_FRAMES)
    time.sleep(0.5)
    if heard < 0 or browser.evaluate(AUDIO_FRAMES) <= heard:
        raise Failure(f'real page: the audio node plays nothing ({heard} frames)')
    for _ in range(2):
        page.press('down', 'ESC')
        page.press('up', 'ESC')
        time.sleep(0.2)
    if 'has ended' not in browser.evaluate("document.getElementById('notice').textContent"):
        raise Failure('real page: ESC on the title does not end the game')
    print('real page: boot screen, title after ESC, match after F1, a pause without the focus, '
          'sound playing, the end after ESC')


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    args = test_arguments(__doc__.splitlines()[0], 'the desktop build with soccer-snapshot and soccer-sim', 'browser-test')
    signal.alarm(600)  # a browser that stops answering ends the test, not CI
    out = args.out

    server = serve(args.web)
    url = f'http://127.0.0.1:{server.server_address[1]}/index.html'
    profile = tempfile.mkdtemp(prefix='soccer-chromium-')
    browser = Browser(args.chromium, profile, 1280, 1024)
    passed = failed = 0
    try:
        browser.open_page()
        print('browser:', browser.call('Browser.getVersion', session=False)['product'])
        browser.call('Emulation.setFocusEmulationEnabled', enabled=True)
        # Room for the frame at about twice its size: the canvas then holds it
        # enlarged twice (the sharp scaling's whole multiple) and is read back
        # one pixel of each 2 x 2 block.
        browser.call('Emulation.setDeviceMetricsOverride', width=1280, height=1024,
                     deviceScaleFactor=1, mobile=False)
        page = Page(browser, out)
        load(browser, url + '?test')
        golden = os.path.join(root, 'tests', 'shell', 'golden')
        checks = [lambda: check_goldens(page, golden),
                  lambda: check_match_in_play(page, args.native, out),
                  lambda: check_gamepad(page, golden),
                  lambda: check_simulation(page, args.native),
                  lambda: check_traces(page, args.native, os.path.join(root, 'tests', 'traces')),
                  lambda: print_benchmarks(browser, page, url, args.native),
                  lambda: check_canvas_2d(browser, page, url, golden),
                  lambda: check_real_page(browser, page, url),
                  lambda: page_checks.check_sound_latency(browser, page, url, load, Failure),
                  lambda: page_checks.check_scaling(browser, url, load, Failure),
                  lambda: page_checks.check_touch(browser, page, url, load, Failure),
                  lambda: page_checks.check_replays(
                      browser, os.path.join(root, 'tests', 'traces', 'computer-100.replay'),
                      Failure),
                  lambda: page_checks.check_offline(
                      browser, url, load, server, os.path.join(args.native, 'dist', 'icons'),
                      Failure)]
        for check in checks:
            check()
            passed += 1
        print('screenshots in', out)
    except (Failure, RuntimeError, subprocess.CalledProcessError) as failure:
        print('FAILED:', failure)
        failed = 1
    finally:
        browser.close()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)
    print(f'web: {passed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
