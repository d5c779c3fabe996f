// The page's frames per second with a given state file: the file is opened with the page's Open
// button (it becomes the state), then the program's frames are counted for a while.
// node page_fps.js URL STATE.dat [SECONDS]   (playwright-core from tests/web)
'use strict';
const path = require('path');
const { chromium } = require(path.resolve(__dirname, '../tests/web/node_modules/playwright-core'));

async function main() {
  const [url, state, seconds = '15'] = process.argv.slice(2);
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  const page = await (await browser.newContext()).newPage();
  await page.goto(url);
  await page.waitForFunction(() => window.kavaroPage && kavaroPage.started && kavaroPage.flips > 3, null, { timeout: 60000 });
  await page.setInputFiles('#bar-open-file', state);
  const wanted = require('fs').readFileSync(state, 'latin1');
  await page.waitForFunction((w) => new TextDecoder('latin1').decode(Module.FS.readFile('/kavaro/kavaro.dat')) === w,
                             wanted, { timeout: 60000, polling: 100 });
  // Warm-up frames after the restart that loaded it.
  await page.waitForFunction(() => kavaroPage.flips > 5, null, { timeout: 120000, polling: 50 });
  const a = await page.evaluate(() => [kavaroPage.flips, performance.now()]);
  await page.waitForTimeout(Number(seconds) * 1000);
  const b = await page.evaluate(() => [kavaroPage.flips, performance.now(), navigator.hardwareConcurrency]);
  const fps = (b[0] - a[0]) / ((b[1] - a[1]) / 1000);
  console.log(`${fps.toFixed(2)} ${b[2]}`);
  await browser.close();
}
main().catch((e) => {
  console.error(e);
  process.exit(1);
});
