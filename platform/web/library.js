// The page's side of the browser backend (declared in platform/web/page.h).
mergeInto(LibraryManager.library, {
  webClockOrigin: function () {
    return performance.timeOrigin;
  },

  // The frame is drawn straight onto a 640 x 480 canvas, or onto a canvas of
  // its own and from there enlarged by a whole multiple without smoothing;
  // the browser scales the canvas to its displayed size with linear filtering.
  webShowFrame: function (rgba, multiple) {
    var canvas = document.getElementById('screen');
    if (!canvas) return;
    var width = 640 * multiple, height = 480 * multiple;
    if (canvas.width != width || canvas.height != height) {
      canvas.width = width;
      canvas.height = height;
    }
    var context = canvas.getContext('2d', { alpha: false });
    var image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, 640 * 480 * 4), 640, 480);
    if (multiple == 1) {
      context.putImageData(image, 0, 0);
      return;
    }
    var frame = Module.soccerFrame;
    if (!frame) {
      frame = Module.soccerFrame = document.createElement('canvas');
      frame.width = 640;
      frame.height = 480;
    }
    frame.getContext('2d').putImageData(image, 0, 0);
    context.imageSmoothingEnabled = false;
    context.drawImage(frame, 0, 0, width, height);
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
      };
      node.connect(context.destination);
      Module.soccerAudio = { context: context, node: node };
    } catch (e) {
      return 0;
    }
    return 1;
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
});
