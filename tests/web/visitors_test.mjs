// The page as its visitors meet it, in headless Chromium: two tabs sharing
// the folder (saves, uploads and deletes in one never lose the other's
// files; one name saved in both at once stays whole), the keyboard (the grid
// is left and entered again by keys alone), a screen reader's view (the
// accessibility tree), the memory of an ended program, the first prompt on a
// slow network, the grid on a large screen and on a phone, and the page
// opened as a file.
//
// usage: node visitors_test.mjs SITE_FOLDER NATIVE_BUILD_FOLDER ARTEFACT_FOLDER
import fs from 'node:fs';
import path from 'node:path';
import { check, finish, launch, nativeSaves, serve, tab, testFolders } from './harness.mjs';

const { site, native, artefacts } = testFolders('visitors_test.mjs');
const natives = nativeSaves(native);
const nativeSave = natives.save, nativeFolder = natives.folder;

const server = await serve(site);
const chromium = await launch();
const errors = [];
const stored = (t, name) => t.page.evaluate(async (n) => Array.from(await window.TesselFolder.contents(n)), name)
  .then((bytes) => Buffer.from(bytes));

// equation started in a tab and given an expression; whether it answered
// (asked whether to save) within the time.
async function expand(t, expression, timeout = 20000) {
  await t.page.click('#start-equation');
  await t.waitForGrid('理解できましたか(y/n)?');
  await t.answer('y');
  await t.waitForGrid('(m/f)?');
  await t.answer('m');
  await t.waitForGrid('式は ?');
  await t.answer(expression);
  return t.waitForGrid('ファイル出力しますか', timeout);
}
// And on to the question of the file's name.
async function expandUpToTheName(t, expression) {
  await expand(t, expression);
  await t.answer('y');
  await t.waitForGrid('(n/d)?');
  await t.answer('d');
  await t.waitForGrid('というように');
}
async function nameAndEnd(t, name) {
  await t.answer(name);
  await t.waitForGrid('終了しますか');
  await t.answer('y');
  await t.waitForEnd();
}

try {
  // ---- Two tabs, one folder ------------------------------------------------
  const a = await tab(chromium.browser, errors);
  await a.page.goto(server.url);
  await a.ready();
  const b = await tab(chromium.browser, errors);
  await b.page.goto(server.url);
  await b.ready();

  await b.page.bringToFront();
  await expandUpToTheName(b, '(a+b)(a-b)');
  await nameAndEnd(b, 'b.txt');
  check(await a.hasFile('b.txt'), 'a file saved in tab B shows in tab A, which was open before');

  await a.page.bringToFront();
  await expandUpToTheName(a, '(a+b)2');
  await nameAndEnd(a, 'a.txt');
  const upload = path.join(nativeFolder, 'u.txt');
  fs.writeFileSync(upload, '(x+1)2\r\n');
  await (await a.page.$('#upload')).uploadFile(upload);
  check(await a.hasFile('u.txt'), 'an upload in tab A is in its folder');
  await a.page.click('button[data-remove="u.txt"]');
  await a.page.waitForFunction(() => !document.querySelector('button[data-file="u.txt"]'), { timeout: 10000 })
    .catch(() => {});
  const fresh = await tab(chromium.browser, errors);
  await fresh.page.goto(server.url);
  await fresh.ready();
  const names = await fresh.files();
  check(names.includes('a.txt') && names.includes('b.txt') && !names.includes('u.txt'),
        'after saves in B and A, an upload and a delete in A, a fresh tab has a.txt and b.txt and not u.txt',
        names.join(' '));
  check((await stored(fresh, 'b.txt')).equals(nativeSave('(a+b)(a-b)')), "B's file is whole and B's");
  check((await b.files()).includes('a.txt') && !(await b.files()).includes('u.txt'), 'tab B saw the changes of A');

  // A program reads the stored copy as it is when it reads it: a file
  // another tab puts into the folder while the program runs.
  await a.page.bringToFront();
  await a.page.click('#start-equation');
  await a.waitForGrid('理解できましたか(y/n)?');
  await a.answer('y');
  await a.waitForGrid('(m/f)?');
  fs.writeFileSync(upload, '(a+2)(a-2)\r\n');
  await (await b.page.$('#upload')).uploadFile(upload);
  await a.hasFile('u.txt');
  await a.answer('f');
  await a.waitForGrid('siki.txt');
  await a.answer('u.txt');
  check(await a.waitForGrid('Answer =+a2-4'), 'a program reads the file another tab put in the folder while it ran',
        await a.gridText());
  await a.answer('n');
  await a.waitForGrid('終了しますか');
  await a.answer('y');
  await a.waitForEnd();

  // The same name saved in both tabs at once: one whole file, the same in
  // every tab.
  await expandUpToTheName(a, '(a+b+c)3');
  await b.page.bringToFront();
  await expandUpToTheName(b, '(x-y)5');
  for (const t of [a, b]) {
    await t.page.bringToFront();
    await t.page.keyboard.type('same.txt');
  }
  await Promise.all([a.page.keyboard.press('Enter'), b.page.keyboard.press('Enter')]);
  for (const t of [a, b]) await t.waitForGrid('終了しますか');
  await new Promise((r) => setTimeout(r, 500));
  // While both programs still run: the store holds one whole answer, and
  // each program's copy is that one.
  const later = await tab(chromium.browser, errors);
  await later.page.goto(server.url);
  await later.ready();
  const same = await stored(later, 'same.txt');
  check(same.equals(nativeSave('(a+b+c)3')) || same.equals(nativeSave('(x-y)5')),
        'one name saved in two tabs at once is one whole answer', JSON.stringify(same.toString('latin1')));
  const copies = await Promise.all([a, b].map((t) => t.page.evaluate(() => Array.from(window.TesselFolder.copy('same.txt')))));
  check(copies.every((c) => Buffer.from(c).equals(same)), "both running programs' copies are the stored one");
  for (const t of [a, b]) {
    await t.page.bringToFront();
    await t.answer('y');
    await t.waitForEnd();
  }

  // A program that ends without saving stores nothing again: the other
  // tabs hear of no change (were its whole copy written back, an older copy
  // could undo another tab's newer save).
  const heardBefore = await b.page.evaluate(() => window.TesselFolder.heard());
  await a.page.bringToFront();
  await a.page.click('#start-equation');
  await a.waitForGrid('理解できましたか(y/n)?');
  await a.page.click('#close');
  await a.waitForEnd();
  await new Promise((r) => setTimeout(r, 500));
  check(await b.page.evaluate(() => window.TesselFolder.heard()) === heardBefore,
        'a program that ended without saving writes nothing back');

  // One write the store refuses (a full quota) is reported and stops
  // nothing after it.
  await a.page.evaluate(() => {
    const put = IDBObjectStore.prototype.put;
    IDBObjectStore.prototype.put = function () {
      IDBObjectStore.prototype.put = put;
      throw new DOMException('the quota is used up', 'QuotaExceededError');
    };
  });
  fs.writeFileSync(upload, 'refused\r\n');
  await (await a.page.$('#upload')).uploadFile(upload);
  check(await a.page.waitForFunction(() => /u\.txt.*保存できませんでした/.test(document.getElementById('status').textContent),
                                     { timeout: 10000 }).then(() => true, () => false),
        'a write the store refused is said, with the file', await a.page.evaluate(() => document.getElementById('status').textContent));
  const afterRefusal = path.join(nativeFolder, 'v.txt');
  fs.writeFileSync(afterRefusal, '(a+3)2\r\n');
  await (await a.page.$('#upload')).uploadFile(afterRefusal);
  check(await a.hasFile('v.txt'), 'after a write the store refused, the next upload is stored');
  await a.page.click('#start-equation');
  check(await a.waitForGrid('理解できましたか(y/n)?'), 'and a program still starts');
  await a.page.click('#close');
  await a.waitForEnd();
  for (const t of [b, fresh, later]) await t.page.close();

  // ---- Keys alone ----------------------------------------------------------
  const k = a;
  await k.page.bringToFront();
  const active = () => k.page.evaluate(() => document.activeElement && (document.activeElement.id || document.activeElement.tagName));
  check(await k.page.evaluate(() => document.getElementById('keys').tabIndex) === -1,
        'the idle grid is not a stop of the Tab order');
  await k.page.click('#start-equation');
  await k.waitForGrid('理解できましたか(y/n)?');
  check(await active() === 'keys', 'a started program has the keys');
  check(await k.page.evaluate(() => getComputedStyle(document.getElementById('screen')).outlineStyle) !== 'none',
        'the grid shows that it has the focus');
  await k.page.keyboard.press('Escape');
  await k.page.keyboard.press('Escape');
  const left = await active();
  check(left !== 'keys', 'Escape twice leaves the grid while the program runs', left);
  check(await k.page.evaluate(() => {
    const e = document.activeElement;
    return e.matches(':focus-visible') && getComputedStyle(e).outlineStyle !== 'none';
  }), 'the focus outside the grid is visible');
  for (let i = 0; i < 6 && await active() !== 'keys'; ++i) await k.page.keyboard.press('Tab');
  check(await active() === 'keys', 'Tab from outside brings the focus back to the grid');
  await k.page.keyboard.press('Tab');
  check(await active() !== 'keys', 'Tab leaves the grid too');
  await k.page.focus('#keys');
  await k.answer('y');
  check(await k.waitForGrid('(m/f)?'), 'typing goes on after the focus came back');

  // ---- What a screen reader gets --------------------------------------------
  const tree = JSON.stringify(await k.page.accessibility.snapshot({ interestingOnly: false }));
  check(tree.includes('(m/f)?') && tree.includes('理解できましたか(y/n)?'),
        "the accessibility tree holds the screen's text");
  check(await k.page.evaluate(() => {
    const news = document.getElementById('screen-news');
    return news.getAttribute('aria-live') === 'polite' && news.textContent.includes('(m/f)?');
  }), 'the new lines are in a live region');
  await k.page.click('#close');
  await k.waitForEnd();
  const status = await k.page.evaluate(() => {
    const s = document.getElementById('status');
    return s.getAttribute('role') + ' ' + s.getAttribute('aria-live') + ' ' + s.textContent;
  });
  check(status.startsWith('status polite ') && status.length > 'status polite '.length,
        'the status line is a polite live region and says how the program ended', status);

  // ---- Memory after a large run --------------------------------------------
  // The resident memory of the page's renderer processes, after the
  // garbage collector has run (the program's memory is WebAssembly memory,
  // outside the JavaScript heap).
  const cdp = await k.page.createCDPSession();
  const system = await chromium.browser.target().createCDPSession();
  async function memory() {
    for (let i = 0; i < 3; ++i) {
      await cdp.send('HeapProfiler.collectGarbage');
      await new Promise((r) => setTimeout(r, 300));
    }
    const { processInfo } = await system.send('SystemInfo.getProcessInfo');
    let kilobytes = 0;
    for (const p of processInfo.filter((p) => p.type === 'renderer')) {
      try {
        kilobytes += Number(/VmRSS:\s+(\d+)/.exec(fs.readFileSync(`/proc/${p.id}/status`, 'latin1'))[1]);
      } catch (e) { /* gone */ }
    }
    return kilobytes / 1024;
  }
  const idle = await memory();
  check(await expand(k, '(a+b+c+d+e+f+g+h+i)10', 120000), 'the large run answers', await k.gridText());
  const during = await memory();
  await k.answer('n');
  await k.answer('y');
  await k.waitForEnd();
  await new Promise((r) => setTimeout(r, 500));
  const after = await memory();
  console.log(`memory (renderer processes, resident): idle ${idle.toFixed(1)} MB, after the answer ` +
              `${during.toFixed(1)} MB, after the end ${after.toFixed(1)} MB`);
  check(after - idle < 50, 'an ended program lets its memory go (within 50 MB of the idle page)',
        `${after.toFixed(1)} MB against ${idle.toFixed(1)} MB`);
  check(await k.page.evaluate(() => window.tesselTiming.modules) === 0,
        "no ended program's module is left in memory", await k.page.evaluate(() => window.tesselTiming.modules));

  // ---- The first prompt, cold and warm, at 10 Mbit/s and 40 ms ---------------
  const context = await chromium.browser.createBrowserContext();
  const visitor = await context.newPage();
  visitor.on('pageerror', (e) => errors.push(String(e.stack || e)));
  const network = await visitor.createCDPSession();
  await network.send('Network.enable');
  await network.send('Network.emulateNetworkConditions',
                     { offline: false, latency: 40, downloadThroughput: 1.25e6, uploadThroughput: 1.25e6 });
  async function firstPrompt(cached) {
    await network.send('Network.setCacheDisabled', { cacheDisabled: !cached });
    const began = Date.now();
    await visitor.goto(server.url + '?program=equation', { waitUntil: 'domcontentloaded' });
    await visitor.waitForFunction(() => window.tesselGridText && window.tesselGridText().includes('(y/n)?'),
                                  { timeout: 30000, polling: 10 });
    return Date.now() - began;
  }
  const cold = await firstPrompt(false);
  // What the page asked for to get there (the service worker fetches the
  // rest of the version afterwards, for offline use).
  const asked = await visitor.evaluate(() => performance.getEntriesByType('resource').map((e) => e.name));
  const warm = await firstPrompt(true);
  console.log(`first prompt at 10 Mbit/s, 40 ms: cold ${cold} ms, warm ${warm} ms`);
  check(cold < 3000, 'the first prompt of a cold visit comes within 3 s', `${cold} ms`);
  check(asked.some((url) => url.includes('/equation.')) && !asked.some((url) => url.includes('/polymul.')),
        "a visit to equation fetches none of polymul's code before its first question", asked.join(' '));
  await visitor.waitForFunction(() => document.fonts.check('16px "Tessel Gothic"'), { timeout: 30000 });
  await visitor.screenshot({ path: path.join(artefacts, 'web-first-prompt.png') });
  await context.close();

  // With the font slow to come, the first prompt is drawn at once in a
  // system font, and in the screen font once it is there.
  const slow = await serve(site, { fontDelay: 6000 });
  const patient = await tab(chromium.browser, errors);
  await patient.page.goto(slow.url + '?program=equation', { waitUntil: 'domcontentloaded' });
  check(await patient.waitForGrid('(y/n)?', 5000), 'the first prompt does not wait for a slow font');
  const drawn = await patient.page.evaluate(() => {
    const canvas = document.getElementById('grid');
    const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, Math.ceil(canvas.height / 24)).data;
    let inked = 0;
    for (let i = 0; i < pixels.length; i += 4) if (pixels[i] + pixels[i + 1] + pixels[i + 2] > 300) ++inked;
    return { fontThere: document.fonts.check('16px "Tessel Gothic"'), inked };
  });
  check(!drawn.fontThere && drawn.inked > 50, 'the first row is drawn before the screen font arrives',
        JSON.stringify(drawn));
  check(await patient.page.waitForFunction(() => document.fonts.check('16px "Tessel Gothic"'), { timeout: 15000 })
    .then(() => true, () => false), 'the screen font arrives later and is used');
  await patient.page.close();
  slow.close();

  // ---- The grid on a large screen and on a phone ---------------------------
  const large = await tab(chromium.browser, errors);
  await large.page.setViewport({ width: 2560, height: 1440 });
  await large.page.goto(server.url);
  await large.ready();
  const width = await large.page.evaluate(() => document.getElementById('grid').clientWidth);
  check(width >= 1280 && width % 640 === 0, 'on a large window the cells are a whole number of times larger',
        `${width} px`);
  await large.page.screenshot({ path: path.join(artefacts, 'web-large-window.png') });
  await large.page.setViewport({ width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
  await new Promise((r) => setTimeout(r, 300));
  const phone = await large.page.evaluate(() => document.getElementById('grid').clientWidth);
  check(phone > 0 && phone <= 390, 'on a phone the grid fits the screen', `${phone} px`);
  await large.page.select('#zoom', '2');
  const zoomed = await large.page.evaluate(() => {
    const box = document.getElementById('screen');
    return [document.getElementById('grid').clientWidth, box.scrollWidth > box.clientWidth];
  });
  check(zoomed[0] === 1280 && zoomed[1], 'the zoom control makes it larger, and it scrolls', zoomed.join(' '));
  await large.page.screenshot({ path: path.join(artefacts, 'web-phone-zoomed.png') });
  await large.page.close();

  // ---- Opened as a file ----------------------------------------------------
  const file = await tab(chromium.browser, errors);
  await file.page.goto('file://' + path.join(site, 'index.html'));
  const notice = await file.page.evaluate(() => {
    const n = document.getElementById('notice');
    return n.hidden ? '' : n.textContent;
  });
  check(notice.includes('HTTP') && notice.includes('http.server'), 'opened as a file, the page says to serve it over HTTP',
        notice);

  check(errors.length === 0, 'no error in the pages', errors.join('\n'));
} finally {
  await chromium.close();
  server.close();
  natives.done();
}
finish();
