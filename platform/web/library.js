// The page's side of the browser backend (declared in platform/web/page.h).
mergeInto(LibraryManager.library, {
  webClockOrigin: function () {
    return performance.timeOrigin;
  },

  // The frame goes to the canvas "screen" at a whole multiple of its size,
  // each of its pixels a block of multiple x multiple: through WebGL (the
  // frame a texture sampled nearest, one upload and one draw a frame) where
  // the browser has it, else through the 2D canvas. The browser then scales
  // the canvas to its displayed size with linear filtering.
  webShowFrame__deps: ['$webGlView', '$webCanvasView'],
  webShowFrame: function (rgba, multiple) {
    var canvas = document.getElementById('screen');
    if (!canvas) return;
    var width = 640 * multiple, height = 480 * multiple;
    if (canvas.width != width || canvas.height != height) {
      canvas.width = width;
      canvas.height = height;
    }
    if (!Module.soccerView) {
      Module.soccerView = (!Module.soccerCanvas2d && webGlView(canvas)) || webCanvasView(canvas);
    }
    Module.soccerView.show(HEAPU8.subarray(rgba, rgba + 640 * 480 * 4), width, height);
  },

  $webGlView: function (canvas) {
    var gl = canvas.getContext('webgl', { alpha: false, antialias: false, depth: false,
                                          preserveDrawingBuffer: true });
    if (!gl) return null;
    var shader = function (kind, text) {
      var s = gl.createShader(kind);
      gl.shaderSource(s, text);
      gl.compileShader(s);
      return s;
    };
    var program = gl.createProgram();
    gl.attachShader(program, shader(gl.VERTEX_SHADER,
        'attribute vec2 p; varying highp vec2 t;' +
        'void main() { t = vec2(0.5 + 0.5 * p.x, 0.5 - 0.5 * p.y); gl_Position = vec4(p, 0.0, 1.0); }'));
    gl.attachShader(program, shader(gl.FRAGMENT_SHADER,
        'uniform sampler2D frame; varying highp vec2 t;' +
        'void main() { gl_FragColor = vec4(texture2D(frame, t).rgb, 1.0); }'));
    gl.linkProgram(program);
    if (!gl.getProgramParameter(program, gl.LINK_STATUS)) return null;
    gl.useProgram(program);
    gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
    gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([-1, -1, 1, -1, -1, 1, 1, 1]), gl.STATIC_DRAW);
    var corner = gl.getAttribLocation(program, 'p');
    gl.enableVertexAttribArray(corner);
    gl.vertexAttribPointer(corner, 2, gl.FLOAT, false, 0, 0);
    gl.bindTexture(gl.TEXTURE_2D, gl.createTexture());
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA, 640, 480, 0, gl.RGBA, gl.UNSIGNED_BYTE, null);
    return {
      kind: 'webgl',
      show: function (pixels, width, height) {
        gl.viewport(0, 0, width, height);
        gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, 640, 480, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
        gl.drawArrays(gl.TRIANGLE_STRIP, 0, 4);
      }
    };
  },

  $webCanvasView: function (canvas) {
    var context = canvas.getContext('2d', { alpha: false });
    var frame = document.createElement('canvas');
    frame.width = 640;
    frame.height = 480;
    var frameContext = frame.getContext('2d');
    return {
      kind: '2d',
      show: function (pixels, width, height) {
        var image = new ImageData(new Uint8ClampedArray(pixels.buffer, pixels.byteOffset,
                                                        pixels.length), 640, 480);
        if (width == 640) {
          context.putImageData(image, 0, 0);
          return;
        }
        frameContext.putImageData(image, 0, 0);
        context.imageSmoothingEnabled = false;
        context.drawImage(frame, 0, 0, width, height);
      }
    };
  },

  // One audio context for the page's life, at the game's own rate. Where the
  // browser has AudioWorklet, a worklet node plays the blocks that the page's
  // thread renders a little ahead of it (webAudioWorklet); otherwise a script
  // processor pulls each block from the game's mixer when it needs it
  // (index.html?audio=script asks for that one anyway).
  webAudioCreate__deps: ['$webAudioWorklet', '$webAudioScript'],
  webAudioCreate: function (frameRate, nodeFrames) {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return 0;
    try {
      var context = new Context({ sampleRate: frameRate, latencyHint: 'interactive' });
      var audio = Module.soccerAudio = { context: context, frames: 0, nodeFrames: nodeFrames };
      var script = new URLSearchParams(location.search).get('audio') === 'script';
      if (context.audioWorklet && window.AudioWorkletNode && !script) {
        webAudioWorklet(audio);
      } else {
        webAudioScript(audio);
      }
    } catch (e) {
      return 0;
    }
    return 1;
  },

  // The channels of `frames` frames from the game's mixer, copied out; a
  // probe armed by a key (the latency measurement) notes the first sample
  // that is not silent.
  $webAudioTake: function (audio, frames) {
    var at = Module._webAudioRender(frames) >> 2;
    var left = HEAPF32.slice(at, at + frames);
    var right = HEAPF32.slice(at + audio.nodeFrames, at + audio.nodeFrames + frames);
    audio.frames += frames;
    var mark = -1;
    if (audio.probe && audio.probe.key !== undefined && !audio.probe.marked) {
      for (var i = 0; i < frames && mark < 0; i++) if (left[i] !== 0 || right[i] !== 0) mark = i;
      audio.probe.marked = mark >= 0;
    }
    return { left: left, right: right, mark: mark };
  },

  // The time on the page's clock at which the context's time `t` sounds.
  $webAudioHeardAt: function (audio, t) {
    var stamp = audio.context.getOutputTimestamp();
    if (audio.probe.heard !== undefined) return;
    audio.probe.heard = stamp.performanceTime + (t - stamp.contextTime) * 1000 - audio.probe.key;
  },

  $webAudioScript__deps: ['$webAudioTake', '$webAudioHeardAt'],
  $webAudioScript: function (audio) {
    var node = audio.context.createScriptProcessor(audio.nodeFrames, 0, 2);
    node.onaudioprocess = function (event) {
      var out = event.outputBuffer;
      var block = webAudioTake(audio, Math.min(out.length, audio.nodeFrames));
      out.getChannelData(0).set(block.left);
      out.getChannelData(1).set(block.right);
      if (block.mark >= 0) webAudioHeardAt(audio, event.playbackTime + block.mark / out.sampleRate);
    };
    node.connect(audio.context.destination);
    audio.node = node;
    audio.kind = 'script processor';
  },

  // The worklet plays the blocks it is sent, in order, and says every 256
  // frames how many it played; the page's thread keeps about 1024 frames
  // (23 ms) ahead of it. Running short, it plays silence and the game's sound
  // waits: nothing is lost.
  $webAudioWorklet__deps: ['$webAudioTake', '$webAudioHeardAt', '$webAudioScript'],
  $webAudioWorklet: function (audio) {
    var processor = "class SoccerOutput extends AudioWorkletProcessor {\n" +
      "  constructor() { super(); this.blocks = []; this.at = 0; this.played = 0;\n" +
      "    this.port.onmessage = (e) => this.blocks.push(e.data); }\n" +
      "  process(inputs, outputs) {\n" +
      "    const out = outputs[0], n = out[0].length; let done = 0;\n" +
      "    while (done < n && this.blocks.length) {\n" +
      "      const b = this.blocks[0], take = Math.min(n - done, b.left.length - this.at);\n" +
      "      out[0].set(b.left.subarray(this.at, this.at + take), done);\n" +
      "      out[1].set(b.right.subarray(this.at, this.at + take), done);\n" +
      "      if (b.mark >= this.at && b.mark < this.at + take)\n" +
      "        this.port.postMessage({ heard: currentTime + (done + b.mark - this.at) / sampleRate });\n" +
      "      done += take; this.at += take;\n" +
      "      if (this.at === b.left.length) { this.blocks.shift(); this.at = 0; }\n" +
      "    }\n" +
      "    this.played += done;\n" +
      "    if (this.played >= 256) { this.port.postMessage({ played: this.played }); this.played = 0; }\n" +
      "    return true;\n" +
      "  }\n" +
      "}\n" +
      "registerProcessor('soccer-output', SoccerOutput);\n";
    var url = URL.createObjectURL(new Blob([processor], { type: 'application/javascript' }));
    audio.kind = 'audio worklet';
    audio.queued = 0;
    var topUp = function () {
      while (audio.queued < 1024) {
        var block = webAudioTake(audio, 256);
        audio.node.port.postMessage(block, [block.left.buffer, block.right.buffer]);
        audio.queued += 256;
      }
    };
    audio.context.audioWorklet.addModule(url).then(function () {
      audio.node = new AudioWorkletNode(audio.context, 'soccer-output',
                                        { numberOfInputs: 0, outputChannelCount: [2] });
      audio.node.port.onmessage = function (event) {
        if (event.data.heard !== undefined) webAudioHeardAt(audio, event.data.heard);
        if (event.data.played) audio.queued -= event.data.played;
        topUp();
      };
      audio.node.connect(audio.context.destination);
      topUp();
    }).catch(function () {
      webAudioScript(audio);
    });
  },

  webAudioHold: function (hold) {
    var audio = Module.soccerAudio;
    if (!audio) return;
    if (hold && audio.context.state == 'running') {
      audio.held = true;
      audio.context.suspend();
    } else if (!hold && audio.held) {
      audio.held = false;
      audio.context.resume();
    }
  },

  webAudioResume: function () {
    var audio = Module.soccerAudio;
    if (audio && audio.context.state != 'running') audio.context.resume();
    if (Module.onSoundStarted) Module.onSoundStarted();
  },

  webIsTestPage: function () {
    return new URLSearchParams(location.search).has('test') ? 1 : 0;
  },

  webGameEnded: function () {
    if (Module.onGameEnded) Module.onGameEnded();
  },

  // The page's storage: the options as a list of numbers under one name.
  webLoadSettings: function (values, count) {
    try {
      var list = JSON.parse(localStorage.getItem('soccer.options'));
      if (!Array.isArray(list) || list.length != count) return 0;
      for (var i = 0; i < count; i++) {
        if (typeof list[i] !== 'number' || !isFinite(list[i])) return 0;
        HEAP32[(values >> 2) + i] = list[i] | 0;
      }
      return 1;
    } catch (e) {
      return 0;
    }
  },

  webSaveSettings: function (values, count) {
    try {
      localStorage.setItem('soccer.options',
                           JSON.stringify(Array.from(HEAP32.subarray(values >> 2, (values >> 2) + count))));
    } catch (e) {}
  },

  // The replays go to the page (index.html), which keeps them in IndexedDB.
  webKeepReplay: function (file, size) {
    if (Module.onReplayRecorded) Module.onReplayRecorded(HEAPU8.slice(file, file + size));
  },

  webReplayEnded: function () {
    Module.soccerReplaying = false;
    if (Module.onReplayEnded) Module.onReplayEnded();
  },
});
