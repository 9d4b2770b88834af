// What the browser tests of the page share: the static server (what any
// static host does, nothing more), the checks, headless Chromium, and the
// helpers that drive one tab of the page.
import { execFileSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

// The folders a page test is given: SITE_FOLDER NATIVE_BUILD_FOLDER
// ARTEFACT_FOLDER (the last made if need be).
export function testFolders(script) {
  const [site, native, artefacts] = process.argv.slice(2).map((p) => path.resolve(p));
  if (!site || !native || !artefacts) {
    console.error(`usage: node ${script} SITE_FOLDER NATIVE_BUILD_FOLDER ARTEFACT_FOLDER`);
    process.exit(2);
  }
  fs.mkdirSync(artefacts, { recursive: true });
  return { site, native, artefacts };
}

// What the native program saves for an expression, in the array form, in
// a folder of its own (removed by done()).
export function nativeSaves(native) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-native-'));
  return {
    folder,
    save(expression) {
      execFileSync(path.join(native, 'equation'), [], {
        cwd: folder, input: `y\nm\n${expression}\ny\nd\nout.txt\ny\n`,
        env: { ...process.env, TESSEL_DISPLAY: 'stream', XDG_CONFIG_HOME: folder },
      });
      return fs.readFileSync(path.join(folder, 'out.txt'));
    },
    done: () => fs.rmSync(folder, { recursive: true, force: true }),
  };
}

let failures = 0;
export function check(condition, what, detail) {
  console.log((condition ? 'ok    ' : 'FAILED') + ' ' + what);
  if (!condition) {
    failures += 1;
    if (detail !== undefined) console.log(String(detail));
  }
}
export function finish() {
  console.log(failures ? `${failures} checks failed` : 'all checks passed');
  process.exit(failures ? 1 : 0);
}

// Compressed where the browser accepts it (all but the font, which is
// compressed already); the files named by their content kept for ever, the
// page itself asked for again each time, as the README advises.
const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
                '.wasm': 'application/wasm', '.woff2': 'font/woff2', '.svg': 'image/svg+xml',
                '.txt': 'text/plain; charset=utf-8' };
// fontDelay: milliseconds the font is held back (a slow font server).
// stop() ends the server and every connection to it (the network gone).
export async function serve(site, { fontDelay = 0 } = {}) {
  const served = [];  // the paths asked for
  const sockets = new Set();
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname).replace(/^\/+/, '') || 'index.html';
    served.push(name);
    const file = path.join(site, path.normalize(name));
    if (!file.startsWith(site) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404);
      return response.end();
    }
    const extension = path.extname(file);
    if (extension === '.woff2' && fontDelay && !request.delayed) {
      request.delayed = true;
      setTimeout(() => server.emit('request', request, response), fontDelay);
      return;
    }
    const headers = {
      'Content-Type': types[extension] || 'application/octet-stream',
      'Cache-Control': /\.[0-9a-f]{12}\.[a-z0-9]+$/.test(file) ? 'public, max-age=31536000, immutable' : 'no-cache',
    };
    if (extension !== '.woff2' && /\bgzip\b/.test(request.headers['accept-encoding'] || '')) {
      headers['Content-Encoding'] = 'gzip';
      response.writeHead(200, headers);
      fs.createReadStream(file).pipe(zlib.createGzip()).pipe(response);
      return;
    }
    response.writeHead(200, headers);
    fs.createReadStream(file).pipe(response);
  });
  server.on('connection', (socket) => {
    sockets.add(socket);
    socket.on('close', () => sockets.delete(socket));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const stop = () => {
    server.close();
    for (const socket of sockets) socket.destroy();
  };
  return { url: `http://127.0.0.1:${server.address().port}/`, served, close: stop, stop };
}

// A copy of the site in a folder of its own, which a test may deploy a new
// version over.
export function copySite(site) {
  const copy = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-site-'));
  fs.cpSync(site, copy, { recursive: true });
  return copy;
}

// A new version deployed over a copy of the site, as a server's deploy does
// it: every file named by its content renamed (its content's name changes),
// the old ones removed, the page, the worker and the style naming the new
// ones, and the version changed.
export function deployNewVersion(copy) {
  const renamed = new Map();  // old hash -> new hash
  const fresh = (hash) => {
    if (!renamed.has(hash)) {
      renamed.set(hash, crypto.createHash('sha256').update(hash + ' deployed').digest('hex').slice(0, 12));
    }
    return renamed.get(hash);
  };
  for (const name of fs.readdirSync(copy)) {
    const m = /^(.*)\.([0-9a-f]{12})\.([a-z0-9]+)$/.exec(name);
    if (m) fs.renameSync(path.join(copy, name), path.join(copy, `${m[1]}.${fresh(m[2])}.${m[3]}`));
  }
  const version = /data-version="([0-9a-f]{12})"/.exec(fs.readFileSync(path.join(copy, 'index.html'), 'utf8'))[1];
  fresh(version);
  for (const name of fs.readdirSync(copy).filter((n) => /\.(html|css)$|^sw\.js$/.test(n))) {
    let text = fs.readFileSync(path.join(copy, name), 'utf8');
    for (const [from, to] of renamed) text = text.split(from).join(to);
    fs.writeFileSync(path.join(copy, name), text);
  }
  return renamed.get(version);
}

export async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--font-render-hinting=none', '--lang=ja'],
  });
  return {
    browser,
    close: async () => {
      await browser.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// One tab of the page, with the helpers the tests speak in.
export async function tab(browser, errors) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1000, height: 800 });
  return drive(page, errors);
}

// The helpers for a page of any browser context.
export async function drive(page, errors) {
  page.on('pageerror', (e) => errors.push(String(e.stack || e)));
  // Every question the page asks is answered yes (or as `dialogs.answer`
  // says), and kept.
  const dialogs = { asked: [], answer: true };
  page.on('dialog', (d) => {
    dialogs.asked.push(d.message());
    if (d.type() === 'beforeunload' || dialogs.answer) d.accept();
    else d.dismiss();
  });
  const gridText = () => page.evaluate(() => window.tesselGridText());
  async function waitForGrid(text, timeout = 20000) {
    try {
      await page.waitForFunction((t) => window.tesselGridText && window.tesselGridText().includes(t),
                                 { timeout, polling: 20 }, text);
      return true;
    } catch (e) {
      return false;
    }
  }
  const startable = () => !document.getElementById('start-equation').disabled;
  return {
    page,
    dialogs,
    gridText,
    waitForGrid,
    ready: () => page.waitForFunction(startable, { timeout: 30000 }),
    waitForEnd: () => page.waitForFunction(startable, { timeout: 20000 }),
    async answer(line) {
      await page.keyboard.type(line);
      await page.keyboard.press('Enter');
    },
    // Answers each question once it is asked ([question, answer] pairs;
    // what is typed ahead of a question is dropped once the line before it
    // ends); whether every question came.
    async dialogue(steps) {
      for (const [question, line] of steps) {
        if (!await waitForGrid(question)) return false;
        await page.keyboard.type(line);
        await page.keyboard.press('Enter');
      }
      return true;
    },
    // The names the file list shows.
    files: () => page.evaluate(() => [...document.querySelectorAll('#file-list button[data-file]')]
      .map((b) => b.dataset.file)),
    hasFile: (name, timeout = 10000) => page.waitForSelector(`button[data-file="${name}"]`, { timeout })
      .then(() => true, () => false),
  };
}
