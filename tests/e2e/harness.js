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
async function launchBrowser() {
  const profile = fs.mkdtempSync(path.join(require('node:os').tmpdir(), 'tolvenaire-e2e-'));
  const browser = await chromium.launchPersistentContext(profile, {
    ...PHONE,
    executablePath: CHROMIUM,
    headless: true,
    acceptDownloads: true,
    locale: 'fr-FR',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  browser.cleanupProfile = () => fs.rmSync(profile, { recursive: true, force: true });
  return browser;
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
  'fileContent', 'name', 'size', 'download', 'footer'];

module.exports = { launchBrowser, watchPage, violationsOfAxe, seriousOrWorse, waitFor, artifactsDir, PAGE_IDS };
