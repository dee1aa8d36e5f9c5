// The page's service worker: it keeps the page's files (the page, the game's
// script and module, with or without SIMD, the manifest and its icons), so that
// the page installs as an app and plays without a network once visited. With
// a network every file comes fresh from it and the kept copy is renewed;
// without one the kept copy serves.
'use strict';
var KEPT = 'soccer-page';
var FILES = ['./', 'index.html', 'soccer.js', 'soccer.wasm', 'manifest.webmanifest',
             'icons/192x192.png', 'icons/512x512.png'];

self.addEventListener('install', function (event) {
  event.waitUntil(caches.open(KEPT).then(function (cache) { return cache.addAll(FILES); })
                      .then(function () { return self.skipWaiting(); }));
});

self.addEventListener('activate', function (event) {
  event.waitUntil(self.clients.claim());
});

self.addEventListener('fetch', function (event) {
  var request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(fetch(request).then(function (response) {
    if (response.ok) {
      var copy = response.clone();
      caches.open(KEPT).then(function (cache) { cache.put(request, copy); });
    }
    return response;
  }).catch(function () {
    return caches.match(request, { ignoreSearch: true }).then(function (kept) {
      return kept || Response.error();
    });
  }));
});
