'use strict';
// Shared pieces of the browser tests: Debian's Chromium in a phone profile,
// axe-core run inside the page, and bounded waits.
const fs = require('node:fs');
const path = require('node:path');
const { chromium, devices } = require('playwright-core');

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const PHONE = devices['Pixel 7'];
const AXE_SOURCE = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');

// Without the networking flags Chromium keeps calling out to services that a
// closed network refuses; a fresh profile keeps runs independent.
const CHROMIUM_FLAGS = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

function freshProfile() {
  return fs.mkdtempSync(path.join(require('node:os').tmpdir(), 'tolvenaire-e2e-'));
}

async function launchBrowser() {
  const profile = freshProfile();
  const browser = await chromium.launchPersistentContext(profile, {
    ...PHONE,
    executablePath: CHROMIUM,
    headless: true,
    acceptDownloads: true,
    locale: 'fr-FR',
    args: CHROMIUM_FLAGS,
  });
  browser.cleanupProfile = () => fs.rmSync(profile, { recursive: true, force: true });
  return browser;
}

// Chromium as a user has it: Playwright's download handling (Browser.setDownloadBehavior)
// turns off Chromium's check of downloads from plain-HTTP pages, so this one is started
// by hand and driven over the DevTools protocol (Node's WebSocket) without that call.
// Its profile's preferences send downloads to `downloads` without asking. Pages offer
// `evaluate(expression)`, awaited and returned by value, run as if from a user's gesture.
async function launchPlainBrowser(downloads) {
  const profile = freshProfile();
  fs.mkdirSync(path.join(profile, 'Default'));
  fs.writeFileSync(path.join(profile, 'Default', 'Preferences'),
    JSON.stringify({ download: { default_directory: downloads, prompt_for_download: false } }));
  const child = require('node:child_process').spawn(CHROMIUM, ['--headless=new', '--remote-debugging-port=0',
    `--user-data-dir=${profile}`, ...CHROMIUM_FLAGS, 'about:blank'], { stdio: 'ignore' });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  const portFile = path.join(profile, 'DevToolsActivePort');
  const [port, endpoint] = await waitFor(() => {
    const lines = fs.existsSync(portFile) ? fs.readFileSync(portFile, 'utf8').split('\n') : [];
    return lines.length >= 2 && lines[1] && lines;
  }, { timeout: 30000, what: 'Chromium\'s DevTools port' });
  const socket = new WebSocket(`ws://127.0.0.1:${port}${endpoint}`);
  await new Promise((resolve, reject) => { socket.onopen = resolve; socket.onerror = reject; });
  const pending = new Map();
  let lastId = 0;
  socket.onmessage = (event) => {
    const message = JSON.parse(event.data);
    const waiter = pending.get(message.id);
    if (!waiter) return;
    pending.delete(message.id);
    if (message.error) waiter.reject(new Error(`${waiter.method}: ${message.error.message}`));
    else waiter.resolve(message.result);
  };
  // A browser that goes answers nothing more: what still waits must not wait forever.
  socket.onclose = () => {
    for (const waiter of pending.values()) waiter.reject(new Error(`${waiter.method}: the browser closed`));
    pending.clear();
  };
  const send = (method, params = {}, sessionId = undefined) => new Promise((resolve, reject) => {
    lastId += 1;
    pending.set(lastId, { resolve, reject, method });
    socket.send(JSON.stringify({ id: lastId, method, params, sessionId }));
  });
  return {
    async newPage(url) {
      const { targetId } = await send('Target.createTarget', { url: url || 'about:blank' });
      const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
      const page = {
        async evaluate(expression) {
          const { result, exceptionDetails } = await send('Runtime.evaluate',
            { expression, returnByValue: true, awaitPromise: true, userGesture: true }, sessionId);
          if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.exception?.description}`);
          return result.value;
        },
        async goto(address) {
          await send('Page.navigate', { url: address }, sessionId);
          await waitFor(() => page.evaluate(`location.href === ${JSON.stringify(address)} && ` +
            "document.readyState === 'complete'"), { timeout: 10000, what: `${address} loaded` });
        },
        // A click of the mouse, as a user's: Chromium lets a page start a second
        // download only after the user has touched it again.
        async click(selector) {
          const [x, y] = await page.evaluate(`(() => {
            const element = document.querySelector(${JSON.stringify(selector)});
            element.scrollIntoView({ block: 'center' });
            const box = element.getBoundingClientRect();
            return [box.x + box.width / 2, box.y + box.height / 2];
          })()`);
          for (const type of ['mousePressed', 'mouseReleased']) {
            await send('Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: 1 }, sessionId);
          }
        },
        close: () => send('Target.closeTarget', { targetId }),
      };
      return page;
    },
    async close() {
      // Its answer may never come: the browser leaves as it is asked to.
      send('Browser.close').catch(() => {});
      const timer = setTimeout(() => child.kill('SIGKILL'), 10000);
      await exited;
      clearTimeout(timer);
      socket.close();
    },
    cleanupProfile: () => fs.rmSync(profile, { recursive: true, force: true }),
  };
}

// Records what must not pass unnoticed: console errors, page errors, requests that
// got no answer and answers with an error status, for the page, its assets and its
// polls alike. A test that cuts the server on purpose names the URLs it expects to
// fail with `expectFailures`; nothing else is excused.
function watchPage(page) {
  const watch = { problems: [], expected: new Set() };
  watch.expectFailures = (...urls) => urls.forEach((url) => watch.expected.add(url));
  const report = (url, what) => { if (!watch.expected.has(url)) watch.problems.push(`${what}: ${url}`); };
  page.on('console', (message) => {
    // Chromium echoes each failed load here; the requests themselves are counted below.
    if (message.type() === 'error' && !message.text().startsWith('Failed to load resource')) {
      watch.problems.push(`console: ${message.text()}`);
    }
  });
  page.on('pageerror', (error) => watch.problems.push(`page error: ${error.message}`));
  page.on('requestfailed', async (request) => {
    // Chromium reports a 304 to a no-store fetch as aborted after handing the 304 to
    // the page: only a request that got no answer at all has failed.
    if (await request.response().catch(() => null)) return;
    report(request.url(), `no answer (${request.failure()?.errorText})`);
  });
  page.on('response', (response) => {
    if (response.status() >= 400) report(response.url(), `status ${response.status()}`);
  });
  return watch;
}

async function violationsOfAxe(page) {
  await page.evaluate(AXE_SOURCE);
  const result = await page.evaluate(() => window.axe.run(document, { resultTypes: ['violations'] }));
  return result.violations.map((v) => ({ id: v.id, impact: v.impact, nodes: v.nodes.map((n) => n.target.join(' ')) }));
}

function seriousOrWorse(violations) {
  return violations.filter((v) => v.impact === 'serious' || v.impact === 'critical');
}

// Polls `probe` until it returns a truthy value or the deadline passes.
async function waitFor(probe, { timeout = 5000, interval = 50, what = 'condition' } = {}) {
  const end = Date.now() + timeout;
  let last;
  for (;;) {
    last = await probe();
    if (last) return last;
    if (Date.now() >= end) throw new Error(`timed out after ${timeout} ms waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, interval));
  }
}

function artifactsDir() {
  const dir = process.env.E2E_ARTIFACTS || path.join(__dirname, '..', '..', 'build', 'e2e-artifacts');
  fs.mkdirSync(dir, { recursive: true });
  return dir;
}

const PAGE_IDS = ['languageLabel', 'language', 'heading', 'intro', 'dot', 'status', 'textTag', 'textHeading',
  'noText', 'textContent', 'text', 'copy', 'saveText', 'feedback', 'fileTag', 'fileHeading', 'noFile',
  'fileContent', 'name', 'size', 'download', 'keepHint', 'footer'];

module.exports = { launchBrowser, launchPlainBrowser, watchPage, violationsOfAxe, seriousOrWorse, waitFor, artifactsDir, PAGE_IDS };
