// Loads the program once the page has shared memory, which its threads need. A host that
// sends the two headers gives it at once; elsewhere our service worker (sw.js) adds them to
// every response and one reload brings them in. Without either the page says what is missing.
(function () {
  'use strict';
  const hungarian = new URLSearchParams(location.search).get('lang') !== 'en';
  const reloadedKey = 'kavaro-reloaded-for-shared-memory';

  function noSharedMemory() {
    const text = hungarian
      ? 'A Kavaro osztott memoriat igenyel, amit ez az oldal nem kap meg: a kiszolgalonak el kell kuldenie a ' +
        '"Cross-Origin-Opener-Policy: same-origin" es a "Cross-Origin-Embedder-Policy: require-corp" fejlecet.'
      : 'Kavaro needs shared memory, which this page does not have: its host must send the headers ' +
        '"Cross-Origin-Opener-Policy: same-origin" and "Cross-Origin-Embedder-Policy: require-corp".';
    document.getElementById('bar').style.display = 'none';
    document.getElementById('screen').style.display = 'none';
    const notice = document.getElementById('notice');
    document.getElementById('notice-title').textContent = text;
    document.getElementById('notice-again').hidden = true;
    notice.hidden = false;
  }

  // A module of one function that returns a v128: valid where the browser has SIMD128.
  const simdProbe = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 8,
                                    1, 6, 0, 65, 0, 253, 15, 11]);

  function load() {
    sessionStorage.removeItem(reloadedKey);
    const planned = document.getElementById('program').content.querySelector('script');
    const script = document.createElement('script');
    // The build with the vector force kernel, or the one without it for older browsers.
    const simd = typeof WebAssembly === 'object' && WebAssembly.validate(simdProbe);
    script.src = simd ? planned.getAttribute('src') : 'kavaro-scalar.js';
    document.body.appendChild(script);
  }

  if (window.crossOriginIsolated) {
    load();
  } else if (!('serviceWorker' in navigator) || !window.isSecureContext || sessionStorage.getItem(reloadedKey)) {
    noSharedMemory();
  } else {
    navigator.serviceWorker.register('sw.js').then(function (registration) {
      const worker = registration.active || registration.waiting || registration.installing;
      function reload() {
        sessionStorage.setItem(reloadedKey, '1');
        location.reload();
      }
      if (worker && worker.state === 'activated') return reload();
      worker.addEventListener('statechange', function () {
        if (worker.state === 'activated') reload();
      });
    }, noSharedMemory);
  }
})();
