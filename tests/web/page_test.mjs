// The web page in headless Chromium: equation typed into the grid, its
// answer read from the grid, the array file downloaded and compared with the
// native program's, a reload that keeps it, polymul in the same page, the
// timing of a larger expansion, and a screenshot.
//
// usage: node page_test.mjs SITE_FOLDER NATIVE_BUILD_FOLDER ARTEFACT_FOLDER
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { check, finish, launch, serve, tab } from './harness.mjs';

const [site, native, artefacts] = process.argv.slice(2).map((p) => path.resolve(p));
if (!site || !native || !artefacts) {
  console.error('usage: node page_test.mjs SITE_FOLDER NATIVE_BUILD_FOLDER ARTEFACT_FOLDER');
  process.exit(2);
}

const server = await serve(site);
const { url } = server;

// What the native program saves for the same session.
const nativeFolder = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-native-'));
execFileSync(path.join(native, 'equation'), [], {
  cwd: nativeFolder, input: 'y\nm\n(a+b)(a-b)\ny\nd\nans1.txt\ny\n',
  env: { ...process.env, TESSEL_DISPLAY: 'stream', XDG_CONFIG_HOME: nativeFolder },
});
const nativeAnswer = fs.readFileSync(path.join(nativeFolder, 'ans1.txt'));

// The native whole-process time of the larger expansion (median of 21 runs).
function nativeMilliseconds(expression) {
  const times = [];
  for (let i = 0; i < 21; ++i) {
    const start = process.hrtime.bigint();
    execFileSync(path.join(native, 'equation'), [], {
      cwd: nativeFolder, input: `y\nm\n${expression}\nn\ny\n`,
      env: { ...process.env, TESSEL_DISPLAY: 'stream', XDG_CONFIG_HOME: nativeFolder },
    });
    times.push(Number(process.hrtime.bigint() - start) / 1e6);
  }
  times.sort((a, b) => a - b);
  return times[10];
}

const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-downloads-'));
fs.mkdirSync(artefacts, { recursive: true });
const chromium = await launch();

try {
  const errors = [];
  const { page, gridText, waitForGrid, ready, answer, waitForEnd } = await tab(chromium.browser, errors);
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });

  await page.goto(url);
  await ready();
  check(await page.waitForFunction(() => document.fonts.check('16px "Tessel Gothic"'), { timeout: 10000 })
    .then(() => true, () => false), 'the Japanese screen font is loaded');

  // equation: (a+b)(a-b), the array form saved as ans1.txt.
  await page.click('#start-equation');
  check(await waitForGrid('理解できましたか(y/n)?'), 'equation shows its introduction', await gridText());
  check((await page.title()).startsWith('数式展開'), 'the title comes from the form', await page.title());
  await answer('y');
  await waitForGrid('(m/f)?');
  await answer('m');
  await waitForGrid('式は ?');
  await answer('(a+b)(a-b)');
  check(await waitForGrid('Answer =+a2-b2'), 'the answer is in the grid', await gridText());
  await answer('y');
  await waitForGrid('(n/d)?');
  await answer('d');
  await waitForGrid('ans1.txt　というように');
  await answer('ans1.txt');
  check(await waitForGrid('(y/n)? ', 5000) && await waitForGrid('終了しますか'), 'the file is saved',
        await gridText());
  await page.screenshot({ path: path.join(artefacts, 'web-page.png') });
  const screen = await page.$('#screen');
  await screen.screenshot({ path: path.join(artefacts, 'web-grid.png') });
  await answer('y');
  await waitForEnd();

  // The download of ans1.txt is the native program's file, byte for byte.
  await page.waitForSelector('button[data-file="ans1.txt"]');
  await page.click('button[data-file="ans1.txt"]');
  const downloaded = path.join(downloads, 'ans1.txt');
  for (let i = 0; i < 100 && !fs.existsSync(downloaded); ++i) await new Promise((r) => setTimeout(r, 50));
  const bytes = fs.existsSync(downloaded) ? fs.readFileSync(downloaded) : Buffer.alloc(0);
  check(bytes.equals(nativeAnswer), 'the downloaded ans1.txt equals the native one',
        JSON.stringify(bytes.toString('latin1')) + ' vs ' + JSON.stringify(nativeAnswer.toString('latin1')));

  // A reload keeps the folder.
  await page.reload();
  await ready();
  check(await page.$('button[data-file="ans1.txt"]') !== null, 'ans1.txt is still there after a reload');

  // polymul in the same page multiplies the answer by itself.
  await page.click('#start-polymul');
  check(await waitForGrid('(y/n)?'), 'polymul starts', await gridText());
  await answer('y');
  await answer('2');
  await answer('ans1.txt');
  await answer('ans1.txt');
  check(await waitForGrid('Answer =+a4-2a2b2+b4'), 'polymul multiplies ans1.txt by itself', await gridText());
  await answer('n');
  await answer('y');
  await waitForEnd();

  // A file dropped or chosen on the page is read by the program.
  const chooser = await page.$('#upload');
  const siki = path.join(downloads, 'siki.txt');
  fs.writeFileSync(siki, '(a+1)(a-1)\r\n');
  await chooser.uploadFile(siki);
  await page.waitForSelector('button[data-file="siki.txt"]');
  await page.click('#start-equation');
  await answer('y');  // typed while the program loads: it reads it when it asks
  await waitForGrid('(m/f)?');
  await answer('f');
  await waitForGrid('siki.txt');
  await answer('siki.txt');
  check(await waitForGrid('Answer =+a2-1'), 'equation reads an uploaded file', await gridText());
  // Only the folder is kept: an answer saved outside it is refused and the
  // name asked for again, not lost with the page.
  await answer('y');
  await answer('n');
  await waitForGrid('ans.txt　というように');
  await answer('../up.txt');
  check(await waitForGrid('../up.txtに保存できませんでした。'), 'a name outside the folder is refused',
        await gridText());
  await answer('up.txt');
  await waitForGrid('ok?');
  await answer('');
  await answer('y');
  await waitForEnd();
  check(await page.waitForSelector('button[data-file="up.txt"]', { timeout: 10000 }).then(() => true, () => false),
        'the answer asked for again is in the folder');

  // Typed through the IME path: full-width text arrives as CP932 characters.
  // (The program refuses it, but echoes what it got.)
  await page.click('#start-equation');
  await waitForGrid('理解できましたか(y/n)?');
  await page.focus('#keys');
  await page.evaluate(() => {
    const keys = document.getElementById('keys');
    keys.dispatchEvent(new CompositionEvent('compositionstart'));
    keys.value = 'ｙ数';
    keys.dispatchEvent(new CompositionEvent('compositionend', { data: 'ｙ数' }));
  });
  check(await waitForGrid('(y/n)? ｙ数'), 'composed text reaches the line editor', await gridText());
  await page.keyboard.press('Backspace');
  await page.keyboard.press('Backspace');
  await answer('y');
  await answer('m');

  // The larger expansion against the native whole process: five times in
  // the same program, as a user would go on.
  const times = [];
  let drawn = '';
  for (let i = 0; i < 5; ++i) {
    await waitForGrid('式は ?');
    await answer('(a+b+c+d+e)10');
    const answered = await waitForGrid('10b9e+b10\n\n式は、ファイル出力しますか(y/n)?');
    if (i === 0) check(answered, 'the larger expansion answers', await gridText());
    const timing = await page.evaluate(() => window.tesselTiming);
    times.push(timing.answer - timing.enter);
    drawn = `${timing.draws} draws of the grid took ${timing.drawing.toFixed(1)} ms`;
    await answer('n');
    await waitForGrid('終了しますか(y/n)?');
    await answer('n');
    await waitForGrid('(m/f)?');
    await answer('m');
  }
  const sorted = [...times].sort((a, b) => a - b);
  const nativeTime = nativeMilliseconds('(a+b+c+d+e)10');
  console.log(`(a+b+c+d+e)10 in the page, from Enter to the answer drawn and the next question asked: ` +
              `${times.map((t) => t.toFixed(1)).join(', ')} ms (median ${sorted[2].toFixed(1)}; last run: ${drawn}); ` +
              `native whole process ${nativeTime.toFixed(2)} ms (median of 21)`);
  check(errors.length === 0, 'no error in the page', errors.join('\n'));
} finally {
  await chromium.close();
  server.close();
  fs.rmSync(downloads, { recursive: true, force: true });
  fs.rmSync(nativeFolder, { recursive: true, force: true });
}
finish();
