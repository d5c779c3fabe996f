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

  function load() {
    sessionStorage.removeItem(reloadedKey);
    const planned = document.getElementById('program').content.querySelector('script');
    const script = document.createElement('script');
    script.src = planned.getAttribute('src');
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
