// The page in Debian's headless Chromium: the same pictures as the desktop's, the keys, clicks,
// saves and ends, and the page's answers to hosts and browsers that lack what it needs.
// Run by page_test.sh, which makes the desktop's pictures and serves the page:
//   PAGE_URL   the page with the two headers
//   PLAIN_URL  the page without them (the service worker must bring them)
//   BARE_URL   the page without them and without the service worker
//   DESKTOP    the folder of the desktop's pictures, SWARM-N.png (swarm-300.png: of SWARM_CODE)
//   SWARM_CODE a swarm code with its start number
//   WORK       a folder of the test's own
'use strict';
const fs = require('fs');
const path = require('path');
const { chromium } = require('playwright-core');
const png = require('./png.js');

const env = (name) => {
  if (!process.env[name]) throw new Error(name + ' is not set');
  return process.env[name];
};
const PAGE = env('PAGE_URL'), PLAIN = env('PLAIN_URL'), BARE = env('BARE_URL');
const DESKTOP = env('DESKTOP'), WORK = env('WORK'), SWARM_CODE = env('SWARM_CODE');
const only = process.argv[2] ? new RegExp(process.argv[2]) : null;

let browser;
const failures = [];

// A fresh profile (its own IndexedDB) and one tab in it; console errors are failures.
async function open(url, options = {}) {
  const context = await browser.newContext({ viewport: { width: 1200, height: 720 }, acceptDownloads: true });
  if (options.init) await context.addInitScript(options.init);
  const page = await context.newPage();
  page.messages = [];
  page.errors = [];
  page.on('console', (m) => {
    page.messages.push(m.text());
    if (m.type() === 'error') page.errors.push(m.text());
  });
  page.on('pageerror', (e) => page.errors.push(e.message));
  await page.goto(url);
  return page;
}

// Until the program has drawn `frames` pages since its start.
async function frames(page, n, timeout = 60000) {
  await page.waitForFunction((n) => window.kavaroPage && kavaroPage.started && kavaroPage.flips >= n, n,
                             { timeout, polling: 20 });
}

async function stateFile(page, name = 'kavaro.dat') {
  return page.evaluate((p) => new TextDecoder().decode(Module.FS.readFile(p)), '/kavaro/' + name);
}
const lines = (text) => text.split('\r\n');

// The canvas's pixels (0xRRGGBB) in a rectangle of page pixels.
async function pixels(page, x, y, w, h) {
  return page.evaluate(([x, y, w, h]) => {
    const d = document.getElementById('screen').getContext('2d').getImageData(x, y, w, h).data;
    const out = [];
    for (let i = 0; i < d.length; i += 4) out.push((d[i] << 16) | (d[i + 1] << 8) | d[i + 2]);
    return out;
  }, [x, y, w, h]);
}

// A click of `button` on page pixel (x, y), held a while so that a slow frame sees it.
async function click(page, x, y, button = 'left') {
  const r = await page.locator('#screen').boundingBox();
  await page.mouse.move(r.x + (x + 0.5) * r.width / 640, r.y + (y + 0.5) * r.height / 480);
  await page.mouse.down({ button });
  await page.waitForTimeout(120);
  await page.mouse.up({ button });
  await page.waitForTimeout(120);
}

// Saves with m and waits until the stored file has changed from `before`.
async function save(page, before) {
  await page.keyboard.press('m');
  await page.waitForFunction((b) => new TextDecoder().decode(Module.FS.readFile('/kavaro/kavaro.dat')) !== b,
                             before, { timeout: 10000 });
  return stateFile(page);
}

async function dialogLines(page) {
  return page.messages.filter((m) => m.startsWith('kavaro: ['));
}

async function check(name, body) {
  if (only && !only.test(name)) return;
  const started = Date.now();
  try {
    await body();
    console.log(`ok   ${name} (${Date.now() - started} ms)`);
  } catch (e) {
    failures.push(name);
    console.log(`FAIL ${name}: ${e.stack || e}`);
  }
}

function expect(condition, what) {
  if (!condition) throw new Error(what);
}

async function closeAll(page) {
  await page.context().close();
}

async function main() {
  browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });

  // The same state and start number give the desktop's picture of the same frame; so does a
  // swarm code in the address (its start number in it), and so does the build without SIMD128,
  // which a browser without it gets.
  const pictures = [];
  for (const swarm of ['factory', 'ribbons', 'halo']) for (const n of [1, 300]) pictures.push([swarm, n, false]);
  pictures.push(['swarm', 300, false], ['ribbons', 300, true]);
  for (const [swarm, n, scalar] of pictures) {
    await check(`frame ${n} of ${swarm} is the desktop's` + (scalar ? ' without SIMD128' : ''), async () => {
      const query = swarm === 'swarm' ? `?snapshot=${n}#${SWARM_CODE}`
                                      : `?start=7&snapshot=${n}` + (swarm === 'factory' ? '' : `&preset=${swarm}`);
      const context = await browser.newContext({ acceptDownloads: true });
      // A browser without SIMD128 refuses the loader's probe module, which has a vector type.
      if (scalar) {
        await context.addInitScript(() => {
          const validate = WebAssembly.validate;
          WebAssembly.validate = (bytes) => !new Uint8Array(bytes).includes(123) && validate(bytes);
        });
      }
      const page = await context.newPage();
      const errors = [];
      page.on('pageerror', (e) => errors.push(e.message));
      page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
      const download = page.waitForEvent('download', { timeout: 120000 });
      await page.goto(PAGE + query);
      const file = await download;
      expect(file.suggestedFilename() === `kavaro-frame-${n}.png`, 'named ' + file.suggestedFilename());
      const saved = path.join(WORK, `page-${swarm}-${n}.png`);
      await file.saveAs(saved);
      const differ = png.differences(png.decode(fs.readFileSync(saved)),
                                     png.decode(fs.readFileSync(path.join(DESKTOP, `${swarm}-${n}.png`))));
      expect(differ === 0, `${differ} pixels differ`);
      expect(errors.length === 0, 'console errors: ' + errors.join('; '));
      // The address keeps the swarm loaded: the code it was opened with.
      if (swarm === 'swarm') expect((await page.evaluate(() => location.hash)) === '#' + SWARM_CODE, 'address ' + page.url());
      const script = await page.evaluate(() => [...document.scripts].map((e) => e.src).filter((u) => /kavaro[^/]*\.js$/.test(u)).join());
      expect(/kavaro-scalar\.js$/.test(script) === scalar, 'loaded ' + script);
      await context.close();
    });
  }

  await check('keys and clicks act, m saves, a reload shows the saved swarm', async () => {
    const page = await open(PAGE + '?start=3');
    await frames(page, 20);
    expect(page.errors.length === 0, 'console errors: ' + page.errors.join('; '));
    const factory = await stateFile(page);
    const f = lines(factory);
    // Ten left clicks on the first panel row step the central pull from 50 down to 0: nothing
    // moves the swarm, which the pull has drawn into a dot; q scatters it, and it stays so.
    await frames(page, 300);
    for (let i = 0; i < 10; ++i) await click(page, 40, 8);
    const lit = async () => (await pixels(page, 150, 20, 480, 340)).filter((p) => p === 0x0000aa || p === 0x00aa00 || p === 0x00aaaa).length;
    const dot = await lit();
    await page.keyboard.press('q');
    await page.waitForTimeout(300);
    const scattered = await lit();
    expect(scattered > 4 * dot + 100, `q: ${dot} particle pixels before, ${scattered} after`);
    // A left click on a rule cell lowers the rule: the middle one of the factory's three
    // species, green towards green (row 80 + 40 + 1 of the cells, its value in column 2).
    const ruleLine = 10 * (80 + 40 + 1) + 2;
    await click(page, 60, 420);
    let saved = lines(await save(page, factory));
    expect(Number(saved[17014]) === 0, `central pull ${f[17014]} -> ${saved[17014]}`);
    expect(Number(saved[ruleLine]) === -1, `rule cell ${f[ruleLine]} -> ${saved[ruleLine]}`);
    // r: random rules, saved; a reload loads them and shows the same editor.
    await page.keyboard.press('r');
    await page.waitForTimeout(200);
    const kept = await save(page, saved.join('\r\n'));
    expect(kept !== saved.join('\r\n'), 'r changed nothing');
    // The pointer over the scene, where it marks no editor cell: the new page learns of it too.
    const neutral = async () => {
      const r = await page.locator('#screen').boundingBox();
      await page.mouse.move(r.x + 300 * r.width / 640, r.y + 300 * r.height / 480);
      await page.mouse.move(r.x + 301 * r.width / 640, r.y + 300 * r.height / 480);
      await page.waitForTimeout(200);
    };
    // The editor's cells (counts, colours, rules), once two looks a moment apart agree.
    const editorCells = async () => {
      for (let tries = 0; ; ++tries) {
        const a = await pixels(page, 0, 368, 150, 92);
        await page.waitForTimeout(300);
        const b = await pixels(page, 0, 368, 150, 92);
        if (a.every((p, i) => p === b[i]) || tries === 10) return b;
      }
    };
    await neutral();
    const editor = await editorCells();
    await page.reload();
    await frames(page, 10);
    await neutral();
    expect((await stateFile(page)) === kept, 'the reloaded state is not the saved one');
    const shown = await editorCells();
    const moved = shown.filter((p, i) => p !== editor[i]).length;
    expect(moved === 0, `the editor shows another swarm after the reload (${moved} pixels differ)`);
    // Pause holds the swarm until the next key.
    await page.keyboard.press('Pause');
    await page.waitForTimeout(300);
    const held = await pixels(page, 0, 0, 640, 480);
    await page.waitForTimeout(600);
    const still = await pixels(page, 0, 0, 640, 480);
    expect(held.every((p, i) => p === still[i]), 'the picture moved while paused');
    await page.keyboard.press('x');
    await page.waitForTimeout(600);
    const moving = await pixels(page, 0, 0, 640, 480);
    expect(!moving.every((p, i) => p === still[i]), 'the picture did not move after the next key');
    // Escape saves and ends: the notice over the canvas, the file stored.
    await click(page, 40, 8, 'right');
    await page.keyboard.press('Escape');
    await page.waitForSelector('#notice:not([hidden])', { timeout: 10000 });
    expect((await page.textContent('#notice-title')) === 'A Kavaro befejezodott', 'no end notice');
    const ended = await stateFile(page);
    expect(ended !== kept, 'Escape did not save');
    await page.reload();
    await frames(page, 5);
    expect((await stateFile(page)) === ended, 'the file Escape saved was not stored');
    expect(page.errors.length === 0, 'console errors: ' + page.errors.join('; '));
    await closeAll(page);
  });

  await check('two tabs are two programs in one folder: whole files, b takes the other\'s save', async () => {
    const a = await open(PAGE + '?start=5');
    await frames(a, 5);
    const b = await a.context().newPage();
    await b.goto(PAGE + '?start=6');
    await frames(b, 5);
    await a.keyboard.press('r');
    const fromA = await save(a, await stateFile(a));
    await b.bringToFront();
    await b.keyboard.press('b');
    await b.waitForFunction((w) => new TextDecoder().decode(Module.FS.readFile('/kavaro/kavaro.dat')) === w,
                            fromA, { timeout: 15000 });
    await b.keyboard.press('t');
    const fromB = await save(b, fromA);
    expect(lines(fromB).length === 17019, 'not a whole file');
    await a.bringToFront();
    await a.keyboard.press('b');
    await a.waitForFunction((w) => new TextDecoder().decode(Module.FS.readFile('/kavaro/kavaro.dat')) === w,
                            fromB, { timeout: 15000 });
    await closeAll(a);
  });

  await check('the bar: snapshot, download, record, full screen, presets, language; Alt+Enter, Ctrl+Break', async () => {
    const page = await open(PAGE + '?start=8');
    await frames(page, 10);
    expect((await page.textContent('#bar-open')) === 'Megnyitas', 'the bar is not Hungarian');
    let download = page.waitForEvent('download');
    await page.click('#bar-snapshot');
    const shot = await download;
    expect(shot.suggestedFilename() === 'kavaro.png', 'named ' + shot.suggestedFilename());
    await shot.saveAs(path.join(WORK, 'bar-snapshot.png'));
    const picture = png.decode(fs.readFileSync(path.join(WORK, 'bar-snapshot.png')));
    expect(picture.width === 640 && picture.height === 480 && new Set(picture.pixels).size <= 16, 'not the page');
    download = page.waitForEvent('download');
    await page.click('#bar-download');
    const state = await download;
    await state.saveAs(path.join(WORK, 'bar-state.dat'));
    expect(fs.readFileSync(path.join(WORK, 'bar-state.dat'), 'latin1') === (await stateFile(page)), 'not the state file');
    // Record, then Stop: a WebM of the canvas.
    await page.click('#bar-record');
    expect((await page.textContent('#bar-record')) === 'Leallitas', 'Record did not become Stop');
    await page.waitForTimeout(1500);
    download = page.waitForEvent('download');
    await page.click('#bar-record');
    const video = await download;
    expect(/^kavaro-\d{8}-\d{6}\.webm$/.test(video.suggestedFilename()), 'named ' + video.suggestedFilename());
    await video.saveAs(path.join(WORK, 'bar-record.webm'));
    const webm = fs.readFileSync(path.join(WORK, 'bar-record.webm'));
    expect(webm.length > 1000 && webm.readUInt32BE(0) === 0x1a45dfa3, 'not a WebM: ' + webm.length + ' bytes');
    expect((await page.textContent('#bar-record')) === 'Felvetel', 'Stop did not become Record');
    // Alt+Enter: full screen stretched, smoothed, with the page's proportions, smoothed, the window.
    const presentation = () => page.evaluate(() => [!!document.fullscreenElement,
                                                     document.getElementById('screen').style.imageRendering]);
    const seen = [];
    for (let i = 0; i < 5; ++i) {
      await page.keyboard.press('Alt+Enter');
      await page.waitForTimeout(400);
      seen.push((await presentation()).join(' '));
    }
    expect(seen.join(', ') === 'true pixelated, true auto, true pixelated, true auto, false pixelated', 'Alt+Enter: ' + seen.join(', '));
    // The bar's button: with the page's proportions; the browser's own way out (a long Escape)
    // brings the window back, and Alt+Enter steps on from there.
    await page.click('#bar-full-screen');
    await page.waitForFunction(() => !!document.fullscreenElement, null, { timeout: 5000 });
    await page.evaluate(() => document.exitFullscreen());
    await page.waitForTimeout(300);
    await page.keyboard.press('Alt+Enter');
    await page.waitForTimeout(400);
    expect((await presentation()).join(' ') === 'true pixelated', 'not stretched after the window: ' + (await presentation()));
    await page.evaluate(() => document.exitFullscreen());
    await page.waitForTimeout(300);
    await page.selectOption('#bar-presets', 'whips');
    await page.waitForURL(/preset=whips/);
    await frames(page, 3);
    await page.click('#bar-language');
    await page.waitForURL(/lang=en/);
    await frames(page, 3);
    expect((await page.textContent('#bar-open')) === 'Open', 'the bar is not English');
    await page.keyboard.press('Control+Pause');
    await page.waitForSelector('#notice:not([hidden])', { timeout: 10000 });
    expect((await page.textContent('#notice-title')) === 'Kavaro has ended', 'Ctrl+Break did not end it');
    expect(page.errors.length === 0, 'console errors: ' + page.errors.join('; '));
    await closeAll(page);
  });

  await check('an option with a bad value shows its message', async () => {
    const page = await open(PAGE + '?start=500&lang=en');
    await page.waitForSelector('#notice:not([hidden])', { timeout: 20000 });
    const text = await page.textContent('#notice-text');
    expect(text.includes('kavaro: --start needs a whole number from 1 to 100, not "500"'), 'shown: ' + text);
    expect((await page.textContent('#notice-title')) === 'Kavaro has ended', 'no end notice');
    await closeAll(page);
  });

  await check('a damaged swarm code shows its sentence on the page; the stored state stays', async () => {
    const page = await open(PAGE + '?start=2');
    await frames(page, 10);
    await page.keyboard.press('r');
    const kept = await save(page, await stateFile(page));
    const last = SWARM_CODE[SWARM_CODE.length - 1];
    await page.goto(PAGE + '?start=2&lang=en#' + SWARM_CODE.slice(0, -1) + (last === 'A' ? 'B' : 'A'));
    await page.waitForSelector('#notice:not([hidden])', { timeout: 20000 });
    const text = await page.textContent('#notice-text');
    expect(text.trim() === 'kavaro: the swarm code is damaged (its check value does not match)', 'shown: ' + text);
    expect((await stateFile(page)) === kept, 'the stored state changed');
    await page.goto(PAGE + '?start=2');
    await frames(page, 5);
    expect((await stateFile(page)) === kept, 'the stored state changed');
    await closeAll(page);
  });

  await check('Share copies the link of the swarm shown, which opens it elsewhere; the address follows the swarm loaded', async () => {
    const page = await open(PAGE + '?start=3');
    await page.context().grantPermissions(['clipboard-read', 'clipboard-write']);
    await frames(page, 10);
    const loaded = await page.evaluate(() => location.hash);
    expect(/^#1[A-Za-z0-9_-]+$/.test(loaded), 'address ' + page.url());
    expect((await page.textContent('#bar-share')) === 'Megosztas', 'the button is not Hungarian');
    await page.keyboard.press('r');
    await page.waitForTimeout(300);
    await page.click('#bar-share');
    await page.waitForFunction(() => kavaroPage.shared !== '', null, { timeout: 10000 });
    const link = await page.evaluate(() => kavaroPage.shared);
    expect(link.startsWith(PAGE + '#1'), 'the link ' + link);
    expect((await page.evaluate(() => navigator.clipboard.readText())) === link, 'the link is not on the clipboard');
    expect(link.slice(link.indexOf('#')) !== loaded, 'the link does not hold the new rules');
    expect((await page.evaluate(() => location.hash)) === loaded, 'the address left the swarm loaded');
    // In another browser (a fresh profile) the link shows the same swarm: its Share gives it back.
    const other = await open(link);
    await other.context().grantPermissions(['clipboard-read', 'clipboard-write']);
    await frames(other, 10);
    expect((await other.evaluate(() => location.hash)) === link.slice(link.indexOf('#')), 'address ' + other.url());
    await other.click('#bar-share');
    await other.waitForFunction(() => kavaroPage.shared !== '', null, { timeout: 10000 });
    expect((await other.evaluate(() => kavaroPage.shared)) === link, 'the opened link shows another swarm');
    // Saved, the swarm is the address's.
    await other.keyboard.press('t');
    await other.keyboard.press('m');
    await other.waitForFunction((h) => location.hash !== h, link.slice(link.indexOf('#')), { timeout: 10000 });
    expect(other.errors.length === 0 && page.errors.length === 0, 'console errors: ' + other.errors.concat(page.errors).join('; '));
    await closeAll(other);
    await closeAll(page);
  });

  await check('a state file opened from disk is kept once it loaded, never when it did not', async () => {
    const page = await open(PAGE + '?start=2');
    await frames(page, 10);
    await page.keyboard.press('r');
    const before = await save(page, await stateFile(page));
    // Not a state file: the desktop's dialog, answered Yes; the stored state stays.
    const bad = path.join(WORK, 'not-a-state.dat');
    fs.writeFileSync(bad, 'hello\r\n');
    await page.setInputFiles('#bar-open-file', bad);
    await page.waitForFunction(() => true);
    const deadline = Date.now() + 15000;
    while ((await dialogLines(page)).length === 0 && Date.now() < deadline) await page.waitForTimeout(50);
    expect((await dialogLines(page)).length > 0, 'no dialog for a damaged file');
    for (let i = 0; i < 5; ++i) {
      await page.keyboard.press('Enter');
      await page.waitForTimeout(300);
    }
    await frames(page, 3);
    expect((await stateFile(page)) === before, 'a file that did not load replaced the state');
    // A preset's file loads and becomes the stored state.
    const preset = path.resolve(__dirname, '../../presets/kite.dat');
    await page.setInputFiles('#bar-open-file', preset);
    await page.waitForFunction((b) => new TextDecoder().decode(Module.FS.readFile('/kavaro/kavaro.dat')) !== b,
                               before, { timeout: 15000 });
    expect((await stateFile(page)) === fs.readFileSync(preset, 'latin1'), 'the opened file is not the state now');
    await page.reload();
    await frames(page, 3);
    expect((await stateFile(page)) === fs.readFileSync(preset, 'latin1'), 'the opened file was not stored');
    await closeAll(page);
  });

  await check('a refused IndexedDB gets one dialog and the program runs on', async () => {
    const page = await open(PAGE + '?start=4', {
      init: () => { IDBFactory.prototype.open = function () { throw new DOMException('refused', 'SecurityError'); }; },
    });
    const deadline = Date.now() + 20000;
    while ((await dialogLines(page)).length === 0 && Date.now() < deadline) await page.waitForTimeout(50);
    expect((await dialogLines(page)).length === 1, 'dialogs: ' + (await dialogLines(page)).join(' | '));
    await page.keyboard.press('Enter');
    await frames(page, 20);
    await page.keyboard.press('m');
    await page.waitForTimeout(1000);
    const boxes = await dialogLines(page);
    expect(boxes.length === 1 && boxes[0].includes('IndexedDB'), 'dialogs: ' + boxes.join(' | '));
    const before = await page.evaluate(() => kavaroPage.flips);
    await page.waitForTimeout(500);
    expect((await page.evaluate(() => kavaroPage.flips)) > before, 'the program stopped');
    await closeAll(page);
  });

  await check('a host without the headers: the service worker brings them after one reload', async () => {
    const page = await open(PLAIN);
    await frames(page, 10);
    expect(await page.evaluate(() => crossOriginIsolated), 'not isolated');
    expect(page.errors.length === 0, 'console errors: ' + page.errors.join('; '));
    await closeAll(page);
  });

  await check('without shared memory one sentence says what the host must send', async () => {
    const page = await open(BARE + '?lang=en');
    await page.waitForSelector('#notice:not([hidden])', { timeout: 20000 });
    const text = await page.textContent('#notice-title');
    expect(text.includes('"Cross-Origin-Opener-Policy: same-origin"') &&
           text.includes('"Cross-Origin-Embedder-Policy: require-corp"'), 'shown: ' + text);
    expect(await page.locator('#screen').isHidden(), 'a blank canvas is shown');
    await closeAll(page);
  });

  await browser.close();
  if (failures.length) {
    console.log(`${failures.length} failed: ${failures.join(', ')}`);
    process.exit(1);
  }
}

main().catch((e) => {
  console.log(e.stack || e);
  process.exit(1);
});
