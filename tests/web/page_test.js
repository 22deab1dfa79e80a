// page_test.js -- the web page in Debian's Chromium (headless, driven by playwright-core): it loads without errors,
// starts on a click with frames and sound, seeks picture and music together, ends on Escape, draws the renderer's
// pixels at ?t=MS, and reports its frame cost beside the native one.
//
// usage: node page_test.js DIST REF_DIR NATIVE_MS [--whole-show] [--shot PNG]
//   DIST       the page's folder (index.html, kerv16.js, kerv16.wasm, kerv16.data)
//   REF_DIR    the renderer's frames: t<MS>.cells.png for every MS in FROZEN_TIMES
//   NATIVE_MS  the native build's mean ms a frame over the show (drawing alone, wall clock), for the ratio
//   --whole-show  also plays the whole show in real time and reports frames per second
//   --shot PNG    writes a screenshot of the page at one frozen time
// The pages are served from 127.0.0.1 by a server of this script's own, closed at the end.
'use strict';
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { chromium } = require('playwright-core');

const FROZEN_TIMES = [20000, 40000, 97000];
const SHOT_TIME = 97000;
const TYPES = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.data': 'application/octet-stream', '.png': 'image/png' };

const [dist, refDir, nativeMsText, ...flags] = process.argv.slice(2);
const wholeShow = flags.includes('--whole-show');
const shotPath = flags.includes('--shot') ? flags[flags.indexOf('--shot') + 1] : null;
let failures = 0;

function check(ok, what) {
  console.log((ok ? 'ok   ' : 'FAIL ') + what);
  if (!ok)
    failures++;
}

// The page's folder at /, the renderer's frames at /ref/; nothing else, and only on 127.0.0.1.
function serve() {
  const server = http.createServer((req, res) => {
    const url = decodeURIComponent(req.url.split('?')[0]);
    const file = url.startsWith('/ref/') ? path.join(refDir, path.basename(url))
                                         : path.join(dist, url === '/' ? 'index.html' : path.basename(url));
    fs.readFile(file, (err, body) => {
      if (err) {
        res.writeHead(404);
        res.end();
        return;
      }
      res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
      res.end(body);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

function sizes() {
  let code = 0, codeGzip = 0;
  for (const name of ['index.html', 'kerv16.js', 'kerv16.wasm', 'kerv16.data']) {
    const body = fs.readFileSync(path.join(dist, name));
    const gz = zlib.gzipSync(body, { level: 9 }).length;
    console.log(`size ${name}: ${body.length} bytes, ${gz} gzip'd`);
    if (name === 'kerv16.js' || name === 'kerv16.wasm') {
      code += body.length;
      codeGzip += gz;
    }
  }
  console.log(`size js + wasm: ${code} bytes, ${codeGzip} gzip'd`);
}

async function openPage(context, url, errors) {
  const page = await context.newPage();
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.goto(url);
  return page;
}

const stat = (page, which) => page.evaluate((w) => Module._web_stat(w), which);

// Load, the still, the start click, frames and sound, a seek, Escape.
async function playThrough(context, base) {
  const errors = [];
  const page = await openPage(context, base, errors);
  await page.waitForSelector('body[data-state="ready"]', { timeout: 20000 });
  const firstMs = await page.evaluate(() => Module.kervCanvas.firstMs);
  console.log(`first frame (the still) ${firstMs.toFixed(0)} ms after the page began to load`);
  check(await page.locator('#start').innerText() === 'click or press a key to start', 'the still says how to start');

  await page.mouse.click(320, 200);
  await page.waitForTimeout(1500);
  const a = await page.evaluate(() => ({ frames: Module._web_stat(0), t: Module._web_stat(2),
                                        audio: Module.kervSound.ctx.currentTime, wall: performance.now(),
                                        state: Module.kervSound.ctx.state }));
  await page.waitForTimeout(1000);
  const b = await page.evaluate(() => ({ frames: Module._web_stat(0), t: Module._web_stat(2),
                                        audio: Module.kervSound.ctx.currentTime, wall: performance.now(),
                                        decoded: Module.kervSound.decodedMs, playing: !!Module.kervSound.source }));
  check(a.state === 'running', `the audio context runs after the click (${a.state})`);
  const audioRate = (b.audio - a.audio) * 1000 / (b.wall - a.wall);
  check(audioRate > 0.8 && audioRate < 1.2, `the audio clock keeps to the wall clock (${audioRate.toFixed(3)})`);
  check(b.frames - a.frames > 10, `frames keep coming (${b.frames - a.frames} in a second)`);
  check(b.t - a.t > 800 && b.t - a.t < 1200, `the demo time follows (${b.t - a.t} ms in a second)`);
  check(b.playing, `the music plays (decoded ${b.decoded.toFixed(0)} ms after the page began to load)`);

  // Right arrow: picture and music one second on, together (the demo time of the clock and the
  // music's position read at one moment, before and after).
  const now = () => page.evaluate(() => ({ t: Module._web_stat(3), music: Module.kervSound.position(),
                                           wall: performance.now() }));
  const before = await now();
  await page.keyboard.press('ArrowRight');
  await page.waitForTimeout(300);
  const after = await now();
  const wall = after.wall - before.wall;
  const pictureJump = after.t - before.t - wall, musicJump = after.music - before.music - wall;
  check(Math.abs(pictureJump - 1000) < 100 && Math.abs(musicJump - 1000) < 100,
        `right arrow moves picture and music a second (${pictureJump.toFixed(0)} and ${musicJump.toFixed(0)} ms)`);
  check(Math.abs((after.music - after.t) - (before.music - before.t)) < 5,
        `picture and music stay together (${(before.music - before.t).toFixed(0)} -> ${(after.music - after.t).toFixed(0)} ms apart)`);

  await page.keyboard.press('Escape');
  await page.waitForSelector('body[data-state="ended"]', { timeout: 5000 }).catch(() => {});
  const ended = await page.evaluate(() => document.body.dataset.state);
  const endFrames = await stat(page, 0);
  await page.waitForTimeout(300);
  check(ended === 'ended' && await stat(page, 0) === endFrames && !(await page.evaluate(() => Module.kervSound.playing)),
        'Escape ends the show: the end screen, no more frames, no music');
  check(await page.locator('#again').isVisible(), 'the end screen offers to play again');
  check(errors.length === 0, `no console errors (${errors.join(' | ')})`);
  await page.close();
}

// ?t=MS against the renderer's drawing of the same cells, pixel for pixel.
async function frozenFrames(context, base) {
  for (const t of FROZEN_TIMES) {
    const errors = [];
    const page = await openPage(context, `${base}?t=${t}`, errors);
    await page.waitForSelector('body[data-state="still"]', { timeout: 120000 });
    const diff = await page.evaluate(async (t) => {
      const image = new Image();
      image.src = `/ref/t${t}.cells.png`;
      await image.decode();
      const ref = document.createElement('canvas');
      ref.width = 640;
      ref.height = 400;
      const rc = ref.getContext('2d');
      rc.drawImage(image, 0, 0);
      const want = rc.getImageData(0, 0, 640, 400).data;
      const got = document.getElementById('screen').getContext('2d').getImageData(0, 0, 640, 400).data;
      let differ = 0, first = -1;
      for (let i = 0; i < want.length; i++)
        if (want[i] !== got[i]) {
          differ++;
          if (first < 0) first = i >> 2;
        }
      return { size: image.width + ' x ' + image.height, differ, first, shown: Module._web_stat(2) };
    }, t);
    check(diff.differ === 0 && diff.size === '640 x 400',
          `?t=${t}: the canvas is the renderer's ${diff.size} drawing of frame ${diff.shown} ` +
          `(${diff.differ} bytes differ${diff.first >= 0 ? ', first at x ' + diff.first % 640 + ' y ' + Math.floor(diff.first / 640) : ''})`);
    check(errors.length === 0, `?t=${t}: no console errors (${errors.join(' | ')})`);
    if (shotPath && t === SHOT_TIME)
      await page.screenshot({ path: shotPath });
    await page.close();
  }
}

// At a device pixel ratio of 1.5 the canvas must still be whole squares of screen pixels: 1000 x 700 CSS
// pixels are 1500 x 1050 device pixels, so scale 2 (1280 x 800) at (110, 125), black around it.
async function sharpAtFractionalRatio(base) {
  const context = await launch({ width: 1000, height: 700 }, 1.5);
  const page = await context.newPage();
  await page.goto(`${base}?t=40000`);
  await page.waitForSelector('body[data-state="still"]', { timeout: 120000 });
  const shot = await page.screenshot({ scale: 'device' });
  const r = await page.evaluate(async (url) => {
    const image = new Image();
    image.src = url;
    await image.decode();
    const c = document.createElement('canvas');
    c.width = image.width;
    c.height = image.height;
    const cc = c.getContext('2d');
    cc.drawImage(image, 0, 0);
    const got = cc.getImageData(0, 0, c.width, c.height).data;
    const want = document.getElementById('screen').getContext('2d').getImageData(0, 0, 640, 400).data;
    let differ = 0, border = 0;
    for (let y = 0; y < c.height; y++)
      for (let x = 0; x < c.width; x++) {
        const i = 4 * (y * c.width + x), u = x - 110, v = y - 125;
        if (u >= 0 && u < 1280 && v >= 0 && v < 800) {
          const j = 4 * ((v >> 1) * 640 + (u >> 1));
          if (got[i] !== want[j] || got[i + 1] !== want[j + 1] || got[i + 2] !== want[j + 2])
            differ++;
        } else if (got[i] || got[i + 1] || got[i + 2]) {
          border++;
        }
      }
    return { size: c.width + ' x ' + c.height, differ, border };
  }, 'data:image/png;base64,' + shot.toString('base64'));
  check(r.size === '1500 x 1050' && r.differ === 0 && r.border === 0,
        `at a device pixel ratio of 1.5 (${r.size}) every canvas pixel is 2 x 2 screen pixels ` +
        `(${r.differ} differ, ${r.border} not black around it)`);
  await context.close();
}

// ?bench: every frame of the show at the renderer's step, in the page.
async function bench(context, base, nativeMs) {
  const page = await openPage(context, `${base}?bench`, []);
  await page.waitForFunction(() => document.getElementById('start').textContent === 'benchmark done',
                             null, { timeout: 300000, polling: 500 });
  const frames = await stat(page, 0), ms = await stat(page, 1);
  const perFrame = ms / frames;
  console.log(`frame cost in the page: ${perFrame.toFixed(3)} ms a frame over ${frames} frames of the show, drawing ` +
              `alone (native ${nativeMs.toFixed(3)} ms: ratio ${(perFrame / nativeMs).toFixed(2)})`);
  await page.close();
}

// The whole show in real time: frames a second and what each cost.
async function realTime(context, base) {
  const page = await openPage(context, base, []);
  await page.waitForSelector('body[data-state="ready"]', { timeout: 20000 });
  await page.mouse.click(320, 200);
  const start = await page.evaluate(() => performance.now());
  await page.waitForSelector('body[data-state="ended"]', { timeout: 400000 });
  const r = await page.evaluate(() => ({ frames: Module._web_stat(0), ms: Module._web_stat(1),
                                        wall: performance.now(), t: Module._web_stat(2) }));
  const seconds = (r.wall - start) / 1000;
  console.log(`whole show in real time: ${r.frames} frames in ${seconds.toFixed(1)} s (to ${r.t} ms of demo time), ` +
              `${(r.frames / seconds).toFixed(1)} frames a second, ${(r.ms / r.frames).toFixed(3)} ms a frame ` +
              `(drawing and canvas)`);
  await page.close();
}

// Debian's Chromium, headless, on a fresh profile of its own, removed when it closes.
const profiles = [];
async function launch(viewport, deviceScaleFactor) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'kerv16-chromium-'));
  profiles.push(profile);
  return chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    viewport,
    deviceScaleFactor,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
}

async function main() {
  sizes();
  const server = await serve();
  const base = `http://127.0.0.1:${server.address().port}/`;
  let context = null;
  try {
    context = await launch({ width: 700, height: 440 }, 1);
    await playThrough(context, base);
    await frozenFrames(context, base);
    await sharpAtFractionalRatio(base);
    await bench(context, base, parseFloat(nativeMsText));
    if (wholeShow)
      await realTime(context, base);
  } catch (e) {
    check(false, String(e));
  } finally {
    if (context)
      await context.close();
    server.close();
    for (const profile of profiles)
      fs.rmSync(profile, { recursive: true, force: true });
  }
  console.log(failures ? `${failures} checks failed` : 'all checks passed');
  process.exit(failures ? 1 : 0);
}

main();
