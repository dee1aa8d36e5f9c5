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

  // One audio context for the page's life, at the game's own rate, and a
  // node that pulls each block from the game's mixer on the page's thread.
  webAudioCreate: function (frameRate, nodeFrames) {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return 0;
    try {
      var context = new Context({ sampleRate: frameRate });
      var node = context.createScriptProcessor(nodeFrames, 0, 2);
      node.onaudioprocess = function (event) {
        var out = event.outputBuffer;
        var frames = Math.min(out.length, nodeFrames);
        var at = Module._webAudioRender(frames) >> 2;
        out.getChannelData(0).set(HEAPF32.subarray(at, at + frames));
        out.getChannelData(1).set(HEAPF32.subarray(at + nodeFrames, at + nodeFrames + frames));
        Module.soccerAudio.frames += frames;
      };
      node.connect(context.destination);
      Module.soccerAudio = { context: context, node: node, frames: 0 };
    } catch (e) {
      return 0;
    }
    return 1;
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
