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

// Records what the page must never do under the server's content security
// policy: console errors and blocked inline code.
function watchPage(page) {
  const problems = [];
  page.on('console', (message) => {
    // A failed state poll is the page's own business (offline tests cause it).
    if (message.type() === 'error' && !/\/state\b|Failed to load resource|ERR_/.test(message.text())) {
      problems.push(`console: ${message.text()}`);
    }
  });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  return problems;
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
