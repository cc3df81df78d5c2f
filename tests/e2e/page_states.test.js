'use strict';
// The page's handling of state answers, driven through a stand-in server.
const { test, before, after, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { launchBrowser, watchPage, waitFor, artifactsDir, PAGE_IDS } = require('./harness');
const { startFakeServer } = require('./fake_state_server');

const ONLINE_FR = 'Connecté au PC · mise à jour automatique';
const OFFLINE_FR = 'PC indisponible. Vérifiez le réseau et le partage Windows.';
const GOOD_ID = 'a'.repeat(32);

let fake;
let browser;
let page;
let watch;

function state(fields) {
  return { status: 200, body: { language: 'fr', revision: 1, text: 'Bonjour', file: null, ...fields } };
}

async function statusText() {
  return page.locator('#status').textContent();
}

// The page refreshes at once when it becomes visible; announcing that again
// spares waiting for the next 2-second poll (a poll in flight is not doubled).
async function poke() {
  await page.evaluate(() => document.dispatchEvent(new Event('visibilitychange')));
}

async function waitForStatus(text, timeout = 6000, { eager = true } = {}) {
  await waitFor(async () => {
    if ((await statusText()) === text) return true;
    if (eager) await poke();
    return false;
  }, { timeout, interval: 150, what: `status "${text}"` });
}

async function waitForValue(selector, read, expected, what) {
  await waitFor(async () => {
    if ((await read(page.locator(selector))) === expected) return true;
    await poke();
    return false;
  }, { timeout: 6000, interval: 150, what });
}

async function open(answer) {
  fake.answer = answer;
  fake.requests = [];
  page = await browser.newPage();
  watch = watchPage(page);
  await page.goto(fake.link);
}

before(async () => {
  fake = await startFakeServer();
  browser = await launchBrowser();
});

after(async () => {
  await browser.close();
  browser.cleanupProfile();
  await fake.close();
});

beforeEach(async () => {
  if (page) await page.close();
  page = null;
});

// Every load and poll of a test succeeds unless the test said which would not.
afterEach(() => {
  if (page) assert.deepEqual(watch.problems, []);
});

test('every element the script needs is on the page, and nothing is blocked', async () => {
  await open(() => state({}));
  await waitForStatus(ONLINE_FR);
  for (const id of PAGE_IDS) assert.equal(await page.locator(`#${id}`).count(), 1, `#${id}`);
  assert.equal(await page.title(), 'Tolvenaire · Android');
});

test('a file id of 31 digits, or in upper case, is refused and shows offline', async () => {
  const file = { name: 'a.bin', size: 3, id: GOOD_ID };
  let answer = state({ revision: 1, text: 'Premier', file });
  await open(() => answer);
  await waitForStatus(ONLINE_FR);
  assert.equal(await page.locator('#name').textContent(), 'a.bin');

  answer = state({ revision: 2, text: 'Second', file: { ...file, id: 'a'.repeat(31) } });
  await waitForStatus(OFFLINE_FR);
  // What was shown stays.
  assert.equal(await page.locator('#text').inputValue(), 'Premier');
  assert.equal(await page.locator('#dot').getAttribute('class'), 'dot');

  answer = state({ revision: 3, text: 'Retour', file });
  await waitForStatus(ONLINE_FR);
  assert.equal(await page.locator('#text').inputValue(), 'Retour');

  answer = state({ revision: 4, text: 'Majuscules', file: { ...file, id: 'A'.repeat(32) } });
  await waitForStatus(OFFLINE_FR);
  assert.equal(await page.locator('#text').inputValue(), 'Retour');
});

test('other malformed documents and failed answers show offline', async () => {
  const bad = [
    { status: 200, body: '{"revision":1,"text":' },
    state({ revision: 1.5 }),
    state({ revision: 2 ** 53 }),
    state({ revision: '2' }),
    state({ text: null }),
    state({ language: 'de' }),
    state({ language: null }),
    state({ file: { name: 'x', size: -1, id: GOOD_ID } }),
    state({ file: { name: 'x', size: '3', id: GOOD_ID } }),
    state({ file: { name: 7, size: 3, id: GOOD_ID } }),
    state({ file: [] }),
    { status: 200, body: '[1]' },
    { status: 500, body: '{}' },
    { status: 404, body: 'Lien invalide ou expire' },
    'drop',
  ];
  let current = state({});
  await open(() => current);
  await waitForStatus(ONLINE_FR);
  watch.expectFailures(`${fake.link}state`);
  for (const answer of bad) {
    current = answer;
    await waitForStatus(OFFLINE_FR);
    current = state({});
    await waitForStatus(ONLINE_FR);
  }
  // A document without a language keeps the current one.
  current = { status: 200, body: { revision: 9, text: 'Sans langue', file: null } };
  await waitForValue('#text', (l) => l.inputValue(), 'Sans langue', 'text');
  assert.equal(await statusText(), ONLINE_FR);
});

test('a 304 keeps the content and shows online; the ETag goes back to the server', async () => {
  let answer = { ...state({ revision: 5, text: 'Gardé' }), etag: '"5-fr"' };
  await open((request) => (request.headers['if-none-match'] === '"5-fr"' ? { status: 304, etag: '"5-fr"' } : answer));
  await waitForStatus(ONLINE_FR);
  // Break the connection state, then recover through a 304 only.
  watch.expectFailures(`${fake.link}state`);
  answer = { status: 500, body: '' };
  fake.answer = () => answer;
  await waitForStatus(OFFLINE_FR);
  fake.requests = [];
  fake.answer = (request) => (request.headers['if-none-match'] === '"5-fr"' ? { status: 304 } : { status: 500 });
  await waitForStatus(ONLINE_FR);
  assert.equal(await page.locator('#text').inputValue(), 'Gardé');
  assert.ok(fake.requests.length >= 1);
  for (const r of fake.requests) assert.equal(r.headers['if-none-match'], '"5-fr"');
});

test('a new language with the same revision changes the texts only', async () => {
  let answer = state({ revision: 3, text: 'Texte d’origine' });
  await open(() => answer);
  await waitForStatus(ONLINE_FR);
  answer = state({ revision: 3, text: 'Changed text', language: 'en' });
  await waitFor(async () => (await page.locator('#heading').textContent()) === 'From your PC.', { what: 'English' });
  assert.equal(await page.locator('#text').inputValue(), 'Texte d’origine');
  assert.equal(await page.locator('html').getAttribute('lang'), 'en');
  assert.equal(await page.locator('#text').getAttribute('aria-label'), 'Shared text');
  assert.equal(await page.locator('#saveText').getAttribute('download'), 'text.txt');
  assert.equal(await statusText(), 'Connected to your PC · automatic updates');
});

test('sizes are shown in the units and number format of each language', async () => {
  const cases = [
    [0, '0 o', '0 B'],
    [1023, '1 023 o', '1,023 B'],
    [1536, '1,5 Ko', '1.5 KiB'],
    [1024 * 1024 * 5.25, '5,3 Mo', '5.3 MiB'],
    [1024 ** 4 * 3, '3 To', '3 TiB'],
    [1024 ** 5 * 2, '2 048 To', '2,048 TiB'],
  ];
  let answer = state({});
  await open(() => answer);
  for (let i = 0; i < cases.length; i += 1) {
    const [size, french, english] = cases[i];
    answer = state({ revision: 10 + i, language: 'fr', file: { name: 'f', size, id: GOOD_ID } });
    await waitForValue('#size', async (l) => (await l.textContent()).replace(/[\u202f\u00a0]/g, ' '), french,
      `${size} in French`);
    answer = state({ revision: 10 + i, language: 'en', file: { name: 'f', size, id: GOOD_ID } });
    await waitForValue('#size', (l) => l.textContent(), english, `${size} in English`);
  }
});

test('a hidden page does not poll, and refreshes at once when shown again', async () => {
  await open(() => state({}));
  await waitForStatus(ONLINE_FR);
  await page.evaluate(() => {
    Object.defineProperty(document, 'hidden', { configurable: true, get: () => true });
    document.dispatchEvent(new Event('visibilitychange'));
  });
  await page.waitForTimeout(300);  // lets a poll already in flight finish
  const before = fake.requests.length;
  await page.waitForTimeout(4500);  // more than two poll periods
  assert.equal(fake.requests.length, before, 'polled while hidden');
  fake.answer = () => state({ revision: 2, text: 'Au retour' });
  const shownAt = Date.now();
  await page.evaluate(() => {
    Object.defineProperty(document, 'hidden', { configurable: true, get: () => false });
    document.dispatchEvent(new Event('visibilitychange'));
  });
  await waitFor(async () => (await page.locator('#text').inputValue()) === 'Au retour', { timeout: 1500, what: 'refresh' });
  assert.ok(fake.requests[before].at - shownAt < 1000);
});

test('an unanswered poll gives up after 7 seconds and shows offline', async () => {
  let answer = state({});
  await open(() => answer);
  await waitForStatus(ONLINE_FR);
  answer = 'hang';
  watch.expectFailures(`${fake.link}state`);
  const hungAt = Date.now();
  await waitForStatus(OFFLINE_FR, 11000, { eager: false });
  const waited = Date.now() - hungAt;
  assert.ok(waited >= 6500, `offline after only ${waited} ms`);
  answer = state({ revision: 2 });
  await waitForStatus(ONLINE_FR, 4000);
});

test('empty text and no file show the invitations; a file shows name, size and link', async () => {
  let answer = state({ text: '', file: null });
  await open(() => answer);
  await waitForStatus(ONLINE_FR);
  assert.equal(await page.locator('#noText').isVisible(), true);
  assert.equal(await page.locator('#textContent').isVisible(), false);
  assert.equal(await page.locator('#noFile').isVisible(), true);
  assert.equal(await page.locator('#fileContent').isVisible(), false);
  answer = state({ revision: 2, text: 'x', file: { name: 'relevé.pdf', size: 2048, id: GOOD_ID } });
  await waitFor(() => page.locator('#fileContent').isVisible(), { what: 'file card' });
  assert.equal(await page.locator('#noFile').isVisible(), false);
  assert.equal(await page.locator('#textContent').isVisible(), true);
  assert.equal(await page.locator('#noText').isVisible(), false);
  assert.equal(await page.locator('#download').getAttribute('href'), `file/${GOOD_ID}`);
  assert.equal(await page.locator('#download').getAttribute('download'), 'relevé.pdf');
  assert.equal(await page.locator('#keepHint').isVisible(), true, 'Chrome holds a .pdf');
  await page.screenshot({ path: path.join(artifactsDir(), 'stand-in-file.png'), fullPage: true });
  answer = state({ revision: 3, text: 'x', file: { name: 'Photo.JPG', size: 2048, id: GOOD_ID } });
  await waitFor(async () => !(await page.locator('#keepHint').isVisible()), { what: 'no hint for a picture' });
  answer = state({ revision: 4, text: '', file: null });
  await waitFor(() => page.locator('#noFile').isVisible(), { what: 'file withdrawn' });
  assert.equal(await page.locator('#noText').isVisible(), true);
});
