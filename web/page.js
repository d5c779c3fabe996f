// The page around the program: its options from the query string, its stored folder in
// IndexedDB, the canvas, the keys and the mouse, the bar beside the canvas and the end notice.
// Included in kavaro.js (the program's workers load it too, and skip it).
/* global Module, FS, HEAPU8, addRunDependency, removeRunDependency, stringToUTF8, UTF8ToString */
'use strict';

var kavaroPage = null;
var kavaroStore = null;

if (typeof document !== 'undefined') (function () {
  const params = new URLSearchParams(location.search);
  const canvas = document.getElementById('screen');
  const context = canvas.getContext('2d', { alpha: false });
  const stage = document.getElementById('stage');
  const bar = document.getElementById('bar');
  let hungarian = params.get('lang') !== 'en';

  // ---- Texts of the page, in the program's language ----
  const texts = {
    en: {
      ended: 'Kavaro has ended', again: 'Start again', open: 'Open', download: 'Download',
      presets: 'Presets', language: 'Magyarul', fullScreen: 'Full screen', snapshot: 'Snapshot',
      share: 'Share', shared: 'Link copied', noCode: 'This swarm has no code: ',
      record: 'Record', stop: 'Stop',
    },
    hu: {
      ended: 'A Kavaro befejezodott', again: 'Ujrainditas', open: 'Megnyitas', download: 'Letoltes',
      presets: 'Mintak', language: 'English', fullScreen: 'Teljes kepernyo', snapshot: 'Pillanatkep',
      share: 'Megosztas', shared: 'Link masolva', noCode: 'Ennek a rajnak nincs kodja: ',
      record: 'Felvetel', stop: 'Leallitas',
    },
  };
  function text(key) { return texts[hungarian ? 'hu' : 'en'][key]; }

  // ---- The options: ?preset=ribbons&start=42 is --preset ribbons --start 42 ----
  // ?snapshot=N is the picture of frame N, offered as kavaro-frame-N.png.
  const args = [];
  // (No destructuring in for-of loops: Emscripten's minifier drops it.)
  params.forEach((value, name) => {
    if (name === 'snapshot') {
      args.push('--snapshot', '/snapshots/kavaro-frame-' + value.replace(/[^0-9A-Za-z]/g, '_') + '.png',
                '--snapshot-frame', value);
      return;
    }
    args.push('--' + name);
    if (value !== '') args.push(value);
  });
  // kavaro.html#CODE is --swarm CODE: the swarm of a shared link.
  if (location.hash.length > 1) args.push('--swarm', location.hash.slice(1));
  // A page is as large as the browser's window allows unless the address says otherwise.
  if (!params.has('scale')) args.push('--scale', 'auto');

  // ---- What the program prints: the console, and the end notice of a run that never began ----
  const printed = [];
  function keep(line) {
    printed.push(line);
    if (printed.length > 200) printed.shift();
  }

  // ---- The stored folder: /kavaro in IndexedDB ----
  kavaroStore = {
    error: '',
    reason: '',
    startError() { return this.error; },
    answer(serial, failed, reason) {
      this.reason = failed ? String((reason && (reason.name || reason.message)) || reason || 'refused') : '';
      Module._frame_store_answer(serial, failed ? 1 : 0);
    },
    reasonInto(ptr, size) { stringToUTF8(this.reason, ptr, size); },
    // One committed file into IndexedDB, in one transaction.
    store(serial, path) {
      const IDBFS = FS.filesystems.IDBFS;
      let done = false;
      const finish = (failed, reason) => {
        if (!done) {
          done = true;
          this.answer(serial, failed, reason);
        }
      };
      IDBFS.getDB('/kavaro', (err, db) => {
        if (err) return finish(1, err);
        let tx;
        try {
          tx = db.transaction([IDBFS.DB_STORE_NAME], 'readwrite');
        } catch (e) {
          return finish(1, e);
        }
        tx.oncomplete = () => finish(0);
        tx.onabort = () => finish(1, tx.error);
        tx.onerror = (e) => { e.preventDefault(); finish(1, tx.error); };
        IDBFS.loadLocalEntry(path, (err, entry) => {
          if (err) {
            tx.abort();
            return finish(1, err);
          }
          IDBFS.storeRemoteEntry(tx.objectStore(IDBFS.DB_STORE_NAME), path, entry, (err) => {
            if (err) finish(1, err);
          });
        });
      });
    },
    // What another tab stored meanwhile comes in; nothing is removed here.
    refresh(serial) {
      const IDBFS = FS.filesystems.IDBFS;
      const mount = FS.lookupPath('/kavaro').node.mount;
      IDBFS.getLocalSet(mount, (err, local) => {
        if (err) return this.answer(serial, 1, err);
        IDBFS.getRemoteSet(mount, (err, remote) => {
          if (err) return this.answer(serial, 1, err);
          const newer = Object.keys(remote.entries).filter((path) => {
            const mine = local.entries[path];
            return !mine || mine.timestamp.getTime() !== remote.entries[path].timestamp.getTime();
          }).sort();
          if (!newer.length) return this.answer(serial, 0);
          let tx;
          try {
            tx = remote.db.transaction([IDBFS.DB_STORE_NAME], 'readonly');
          } catch (e) {
            return this.answer(serial, 1, e);
          }
          const store = tx.objectStore(IDBFS.DB_STORE_NAME);
          let left = newer.length, failed = null;
          newer.forEach((path) => {
            IDBFS.loadRemoteEntry(store, path, (err, entry) => {
              if (!err) IDBFS.storeLocalEntry(path, entry, (e) => { if (e) failed = e; });
              else failed = err;
              if (--left === 0) this.answer(serial, failed ? 1 : 0, failed);
            });
          });
        });
      });
    },
  };

  Module.arguments = args;
  Module.canvas = canvas;
  Module.print = function (line) { keep(line); console.log(line); };
  Module.printErr = function (line) { keep(line); console.warn(line); };
  // After the presets' data file, which the packager's code put here first.
  Module.preRun = [].concat(Module.preRun || [], function () {
    FS.mkdir('/kavaro');
    FS.mount(FS.filesystems.IDBFS, {}, '/kavaro');
    FS.mkdir('/snapshots');
    // Relative names (?state=mine.dat) are in the stored folder.
    FS.chdir('/kavaro');
    addRunDependency('kavaro-store');
    FS.syncfs(true, function (err) {
      if (err) kavaroStore.error = String(err.name || err.message || err);
      removeRunDependency('kavaro-store');
    });
  });

  // ---- The canvas on the screen ----
  let scale = 1;        // --scale N, 0 for auto
  let mode = -1;        // 0 window, 1 full screen stretched, 2 with the page's proportions
  let smooth = 0;
  let image = null;

  function fullScreenElement() { return document.fullscreenElement || null; }

  // The canvas's size on the screen, in CSS pixels: whole device pixels a page pixel in the
  // window, the whole screen (or the largest picture with the page's proportions) in full screen.
  function layout() {
    const w = canvas.width, h = canvas.height, ratio = window.devicePixelRatio || 1;
    let cssW, cssH;
    if (mode > 0 && fullScreenElement()) {
      const sw = window.innerWidth, sh = window.innerHeight;
      if (mode === 2) {
        const s = Math.min(sw / w, sh / h);
        cssW = w * s;
        cssH = h * s;
      } else {
        cssW = sw;
        cssH = sh;
      }
    } else {
      let n = scale;
      if (n === 0) {
        const availW = (window.innerWidth - bar.offsetWidth - 24) * ratio;
        const availH = (window.innerHeight - 16) * ratio;
        n = Math.max(1, Math.floor(Math.min(availW / w, availH / h)));
      }
      cssW = w * n / ratio;
      cssH = h * n / ratio;
    }
    canvas.style.width = cssW + 'px';
    canvas.style.height = cssH + 'px';
    canvas.style.imageRendering = smooth && mode > 0 ? 'auto' : 'pixelated';
  }

  function applyMode(next, nextSmooth) {
    const wasMode = mode;
    mode = next;
    smooth = nextSmooth;
    if (mode > 0 && !fullScreenElement() && wasMode <= 0) {
      stage.requestFullscreen().then(() => {
        if (navigator.keyboard && navigator.keyboard.lock) navigator.keyboard.lock(['Escape']).catch(() => {});
        layout();
      }, () => {
        // Refused (no user gesture): the window again.
        Module._disp_web_full_screen_left();
      });
    } else if (mode === 0 && fullScreenElement()) {
      document.exitFullscreen().catch(() => {});
    }
    layout();
  }

  // ---- Mouse and keys ----
  function pagePoint(e) {
    const r = canvas.getBoundingClientRect();
    return [Math.floor((e.clientX - r.left) * canvas.width / r.width),
            Math.floor((e.clientY - r.top) * canvas.height / r.height)];
  }
  const MOUSE_DOWN = 1, MOUSE_UP = 2, MOUSE_MOTION = 3, MOUSE_WHEEL = 4;
  let buttonsHeld = 0;
  let ended = false;
  function mouse(kind, button, e) {
    const [x, y] = pagePoint(e);
    Module._input_web_mouse(kind, button, x, y);
  }

  // Physical keys by the event's `code`: the number is the key's place in this list.
  const physical = [
    '', 'Escape', 'Digit1', 'Digit2', 'Digit3', 'Digit4', 'Digit5', 'Digit6', 'Digit7', 'Digit8', 'Digit9',
    'Digit0', 'Minus', 'Equal', 'Backspace', 'Tab', 'KeyQ', 'KeyW', 'KeyE', 'KeyR', 'KeyT', 'KeyY', 'KeyU',
    'KeyI', 'KeyO', 'KeyP', 'BracketLeft', 'BracketRight', 'Enter', 'ControlLeft', 'KeyA', 'KeyS', 'KeyD',
    'KeyF', 'KeyG', 'KeyH', 'KeyJ', 'KeyK', 'KeyL', 'Semicolon', 'Quote', 'Backquote', 'ShiftLeft',
    'Backslash', 'KeyZ', 'KeyX', 'KeyC', 'KeyV', 'KeyB', 'KeyN', 'KeyM', 'Comma', 'Period', 'Slash',
    'ShiftRight', 'NumpadMultiply', 'AltLeft', 'Space', 'CapsLock', 'F1', 'F2', 'F3', 'F4', 'F5', 'F6', 'F7',
    'F8', 'F9', 'F10', 'NumLock', 'ScrollLock', 'Numpad7', 'Numpad8', 'Numpad9', 'NumpadSubtract', 'Numpad4',
    'Numpad5', 'Numpad6', 'NumpadAdd', 'Numpad1', 'Numpad2', 'Numpad3', 'Numpad0', 'NumpadDecimal',
    'IntlBackslash', 'F11', 'F12', 'NumpadEnter', 'ControlRight', 'NumpadDivide', 'AltRight', 'Home',
    'ArrowUp', 'PageUp', 'ArrowLeft', 'ArrowRight', 'End', 'ArrowDown', 'PageDown', 'Insert', 'Delete',
    'Pause', 'MetaLeft', 'MetaRight', 'ContextMenu', 'IntlRo', 'IntlYen', 'NumpadComma', 'NumpadEqual',
  ];
  const physicalIndex = new Map(physical.map((code, i) => [code, i]));

  // The X11 key symbols of the keys known by name, by `code` (AltRight by `key`: AltGr).
  const namedSymbols = {
    Backspace: 0xff08, Tab: 0xff09, Enter: 0xff0d, Escape: 0xff1b, Space: 0x20, Home: 0xff50,
    ArrowUp: 0xff52, PageUp: 0xff55, ArrowLeft: 0xff51, ArrowRight: 0xff53, End: 0xff57, ArrowDown: 0xff54,
    PageDown: 0xff56, Insert: 0xff63, Delete: 0xffff, F11: 0xffc8, F12: 0xffc9, NumLock: 0xff7f,
    CapsLock: 0xffe5, ScrollLock: 0xff14, ShiftRight: 0xffe2, ShiftLeft: 0xffe1, ControlRight: 0xffe4,
    ControlLeft: 0xffe3, AltLeft: 0xffe9, NumpadDivide: 0xffaf, NumpadMultiply: 0xffaa,
    NumpadSubtract: 0xffad, NumpadAdd: 0xffab, NumpadEnter: 0xff8d,
  };
  for (let i = 1; i <= 10; ++i) namedSymbols['F' + i] = 0xffbd + i;
  // Keypad keys by what they type with Num Lock as it is.
  const padSymbols = {
    Insert: 0xff9e, End: 0xff9c, ArrowDown: 0xff99, PageDown: 0xff9b, ArrowLeft: 0xff96, Clear: 0xff9d,
    ArrowRight: 0xff98, Home: 0xff95, ArrowUp: 0xff97, PageUp: 0xff9a, Delete: 0xff9f, '.': 0xffae,
    ',': 0xffac,
  };

  function baseSymbol(e) {
    if (e.code === 'AltRight') return e.key === 'AltGraph' ? 0xfe03 : 0xffea;
    if (e.code === 'Pause') return e.key === 'Cancel' ? 0xff6b : 0xff13;
    return namedSymbols[e.code] || 0;
  }

  function typedSymbol(e) {
    if (e.code.startsWith('Numpad')) {
      if (/^[0-9]$/.test(e.key)) return 0xffb0 + Number(e.key);
      if (e.code === 'NumpadDecimal' || /^Numpad[0-9]$/.test(e.code)) return padSymbols[e.key] || 0;
    }
    const chars = Array.from(e.key);
    if (chars.length !== 1) return 0;
    const c = chars[0].codePointAt(0);
    return (c >= 0x20 && c <= 0x7e) || (c >= 0xa0 && c <= 0xff) ? c : 0;
  }

  // The browser's own keys stay the browser's: reload, its full screen, its tools, tabs, zoom.
  function browsersKey(e) {
    if (e.code === 'F5' || e.code === 'F11' || e.code === 'F12') return true;
    if (e.altKey && (e.code === 'F4' || e.code === 'ArrowLeft' || e.code === 'ArrowRight')) return true;
    if (e.metaKey) return true;
    if (e.ctrlKey && !e.altKey) {
      if (e.shiftKey && ['KeyI', 'KeyJ', 'KeyC'].includes(e.code)) return true;
      return ['KeyR', 'KeyW', 'KeyT', 'KeyN', 'KeyL', 'KeyQ', 'Tab', 'PageUp', 'PageDown', 'Equal', 'Minus',
              'Digit0', 'NumpadAdd', 'NumpadSubtract'].includes(e.code);
    }
    return false;
  }

  function formControl(target) {
    return target && (target.tagName === 'SELECT' || target.tagName === 'INPUT');
  }

  function key(down, e) {
    if (ended || formControl(e.target)) return;
    const number = physicalIndex.has(e.code) ? physicalIndex.get(e.code) : 0;
    if (!browsersKey(e)) e.preventDefault();
    if (!number) return;
    // The desktop's key source: Ctrl 1, AltGr's third level 2, Caps Lock 4, Num Lock 8, Scroll Lock 16.
    const state = (e.ctrlKey ? 1 : 0) | (e.getModifierState('AltGraph') ? 2 : 0) |
                  (e.getModifierState('CapsLock') ? 4 : 0) | (e.getModifierState('NumLock') ? 8 : 0) |
                  (e.getModifierState('ScrollLock') ? 16 : 0);
    Module._input_web_key(down ? 1 : 0, number, baseSymbol(e), typedSymbol(e), state);
  }

  // ---- The bar ----
  function offer(bytes, name, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type: type }));
    const a = document.createElement('a');
    a.href = url;
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // Record and Stop: what the canvas shows, as a WebM download made by the browser itself.
  let recorder = null;
  function record() {
    if (recorder) return recorder.stop();
    if (typeof MediaRecorder === 'undefined' || !canvas.captureStream)
      return console.warn('kavaro: this browser cannot record the canvas');
    const type = ['video/webm;codecs=vp9', 'video/webm'].find((t) => MediaRecorder.isTypeSupported(t));
    if (!type) return console.warn('kavaro: this browser records no WebM');
    const parts = [];
    const started = new Date();
    recorder = new MediaRecorder(canvas.captureStream(), { mimeType: type });
    recorder.addEventListener('dataavailable', (e) => { if (e.data.size) parts.push(e.data); });
    recorder.addEventListener('stop', () => {
      recorder = null;
      labelBar();
      const stamp = started.toISOString().slice(0, 19).replace(/[-:]/g, '').replace('T', '-');
      offer(new Blob(parts, { type: 'video/webm' }), 'kavaro-' + stamp + '.webm', 'video/webm');
    });
    // A part every second: a tab closed while recording loses at most the last one.
    recorder.start(1000);
    labelBar();
  }

  function statePath() {
    const state = params.get('state');
    return state ? (state.startsWith('/') ? state : '/kavaro/' + state) : '/kavaro/kavaro.dat';
  }

  // Another address for the page: the program starts again with these options (and with the
  // swarm of the address unless another is chosen).
  function goTo(changes, keepSwarm) {
    const next = new URLSearchParams(location.search);
    Object.keys(changes).forEach((name) => {
      if (changes[name] === null) next.delete(name);
      else next.set(name, changes[name]);
    });
    next.delete('snapshot');
    location.href = location.pathname + '?' + next.toString() + (keepSwarm ? location.hash : '');
  }

  // The page without its options and its swarm: the start of a shared link.
  function pageAddress() { return location.href.replace(/[?#].*$/, ''); }

  // The address follows the swarm loaded (or saved), so that a bookmark or a reload keeps it:
  // its code after the "#", and no preset in the options any more.
  function followSwarm(code) {
    const next = new URLSearchParams(location.search);
    next.delete('preset');
    next.delete('swarm');
    const query = next.toString();
    history.replaceState(history.state, '', location.pathname + (query ? '?' + query : '') + (code ? '#' + code : ''));
  }

  // The Share button: the program gives the code of the swarm it shows now; the link goes to
  // the clipboard, or, where the browser refuses that, into the field below the button.
  function share() {
    const button = document.getElementById('bar-share');
    const field = document.getElementById('bar-share-link');
    const showInField = (text) => {
      field.value = text;
      field.hidden = false;
      field.focus();
      field.select();
    };
    Module._frame_web_share();
    const asked = Date.now();
    const answer = () => {
      const ptr = Module._frame_web_share_answer();
      if (!ptr) {
        // The program answers between two frames; a paused or ended one never does.
        if (Date.now() - asked < 10000) setTimeout(answer, 20);
        return;
      }
      const code = UTF8ToString(ptr);
      if (code.startsWith('!')) return showInField(text('noCode') + code.slice(1));
      const link = pageAddress() + '#' + code;
      kavaroPage.shared = link;
      field.hidden = true;
      const copied = () => {
        button.textContent = text('shared');
        setTimeout(() => { button.textContent = text('share'); }, 2000);
      };
      if (navigator.clipboard && navigator.clipboard.writeText)
        navigator.clipboard.writeText(link).then(copied, () => showInField(link));
      else
        showInField(link);
    };
    answer();
  }

  function labelBar() {
    document.documentElement.lang = hungarian ? 'hu' : 'en';
    document.getElementById('bar-open').textContent = text('open');
    document.getElementById('bar-download').textContent = text('download');
    document.getElementById('bar-share').textContent = text('share');
    document.getElementById('bar-language').textContent = text('language');
    document.getElementById('bar-full-screen').textContent = text('fullScreen');
    document.getElementById('bar-snapshot').textContent = text('snapshot');
    document.getElementById('bar-record').textContent = text(recorder ? 'stop' : 'record');
    document.getElementById('notice-again').textContent = text('again');
  }

  function fillPresets() {
    const select = document.getElementById('bar-presets');
    select.replaceChildren();
    const title = document.createElement('option');
    title.textContent = text('presets');
    title.value = '';
    select.appendChild(title);
    let names = [];
    try {
      names = FS.readdir('/presets').filter((n) => n.endsWith('.dat')).map((n) => n.slice(0, -4)).sort();
    } catch (e) {
      names = [];
    }
    for (const name of names) {
      const option = document.createElement('option');
      option.value = name;
      option.textContent = name;
      select.appendChild(option);
    }
    select.value = params.get('preset') || '';
  }

  function listenBar() {
    const file = document.getElementById('bar-open-file');
    const back = () => canvas.focus();
    // Only the language works before the program has begun (or when it never did).
    const running = () => kavaroPage.started;
    document.getElementById('bar-open').addEventListener('click', () => { if (running()) file.click(); });
    file.addEventListener('change', () => {
      const chosen = file.files && file.files[0];
      if (!chosen) return back();
      chosen.arrayBuffer().then((buffer) => {
        // The program reads it as it reads its state file; kept only once it has loaded.
        FS.writeFile('/opened.dat', new Uint8Array(buffer));
        const ask = () => { if (!Module._frame_web_open()) setTimeout(ask, 50); };
        ask();
        file.value = '';
        back();
      });
    });
    document.getElementById('bar-download').addEventListener('click', () => {
      if (!running()) return;
      const path = statePath();
      try {
        offer(FS.readFile(path), path.slice(path.lastIndexOf('/') + 1), 'text/plain');
      } catch (e) {
        console.warn('kavaro: no state file to download yet');
      }
      back();
    });
    document.getElementById('bar-share').addEventListener('click', () => {
      back();
      share();
    });
    document.getElementById('bar-presets').addEventListener('change', (e) => {
      if (e.target.value) goTo({ preset: e.target.value, state: null });
    });
    document.getElementById('bar-language').addEventListener('click', () => goTo({ lang: hungarian ? 'en' : 'hu' }, true));
    document.getElementById('bar-full-screen').addEventListener('click', () => {
      if (running()) Module._disp_web_full_screen_button();
      back();
    });
    document.getElementById('bar-snapshot').addEventListener('click', () => {
      if (running()) Module._record_web_snapshot();
      back();
    });
    document.getElementById('bar-record').addEventListener('click', () => {
      if (running() || recorder) record();
      back();
    });
    document.getElementById('notice-again').addEventListener('click', () => location.reload());
  }

  kavaroPage = {
    // The program has begun: its language, its scale (0: as large as the window allows).
    start(langEn, n) {
      hungarian = !langEn;
      scale = n;
      labelBar();
      fillPresets();
      layout();
      canvas.focus();
    },
    // A picture of w x h pixels, bytes R, G, B, A from `ptr`, and the presentation to show it in;
    // `flips` counts the program's pages since its last start (its frames, for tests and timing).
    show(ptr, w, h, nextMode, nextSmooth, flips) {
      kavaroPage.flips = flips;
      const swarm = Module._frame_web_address();
      if (swarm) followSwarm(UTF8ToString(swarm));
      if (canvas.width !== w || canvas.height !== h || !image) {
        canvas.width = w;
        canvas.height = h;
        image = context.createImageData(w, h);
        layout();
      }
      image.data.set(HEAPU8.subarray(ptr, ptr + w * h * 4));
      context.putImageData(image, 0, 0);
      if (nextMode !== mode || nextSmooth !== smooth) applyMode(nextMode, nextSmooth);
    },
    listen() {
      window.addEventListener('keydown', (e) => key(true, e), true);
      window.addEventListener('keyup', (e) => key(false, e), true);
      window.addEventListener('blur', () => Module._input_web_keys_lost());
      canvas.addEventListener('mousedown', (e) => {
        e.preventDefault();
        canvas.focus();
        buttonsHeld |= 1 << e.button;
        mouse(MOUSE_DOWN, e.button, e);
      });
      // A drag that leaves the canvas goes on, as a drag out of the desktop's window does.
      window.addEventListener('mouseup', (e) => {
        if (!(buttonsHeld & (1 << e.button))) return;
        buttonsHeld &= ~(1 << e.button);
        mouse(MOUSE_UP, e.button, e);
      });
      window.addEventListener('mousemove', (e) => {
        if (buttonsHeld || e.target === canvas) mouse(MOUSE_MOTION, 0, e);
      });
      canvas.addEventListener('wheel', (e) => {
        e.preventDefault();
        if (e.deltaY) mouse(MOUSE_WHEEL, e.deltaY < 0 ? 1 : -1, e);
      }, { passive: false });
      canvas.addEventListener('contextmenu', (e) => e.preventDefault());
      window.addEventListener('resize', layout);
      document.addEventListener('fullscreenchange', () => {
        if (!fullScreenElement() && mode > 0) Module._disp_web_full_screen_left();
        layout();
      });
      // Another swarm typed into the address: the page starts again with it.
      window.addEventListener('hashchange', () => location.reload());
      // Closing or reloading the tab is the close button.
      window.addEventListener('pagehide', () => Module._disp_web_close());
    },
    // The run is over: the notice over the canvas, the output of a run that never began.
    end(status, message) {
      ended = true;
      // A recording ends with the run, and is offered as it is.
      if (recorder) recorder.stop();
      labelBar();
      // A run that never began has nothing for the bar to act on but the language.
      if (!kavaroPage.started)
        for (const id of ['bar-open', 'bar-download', 'bar-presets', 'bar-full-screen', 'bar-snapshot', 'bar-record'])
          document.getElementById(id).style.display = 'none';
      document.getElementById('notice-title').textContent = text('ended');
      document.getElementById('notice-text').textContent = message || (kavaroPage.started ? '' : printed.join('\n'));
      document.getElementById('notice').hidden = false;
      document.getElementById('notice-again').focus();
      if (fullScreenElement()) document.exitFullscreen().catch(() => {});
    },
    // A file of the program's (the snapshot of ?snapshot=N) as a download.
    offerFile(path) {
      offer(FS.readFile(path), path.slice(path.lastIndexOf('/') + 1), 'image/png');
    },
    // Bytes made by the program (the Snapshot button's picture) as a download.
    offerBytes(ptr, length, name, type) {
      offer(HEAPU8.slice(ptr, ptr + length), name, type);
    },
    started: false,
    flips: 0,
    shared: '',
  };
  const start = kavaroPage.start;
  kavaroPage.start = function (langEn, n) {
    kavaroPage.started = true;
    start(langEn, n);
  };
  labelBar();
  listenBar();
})();
