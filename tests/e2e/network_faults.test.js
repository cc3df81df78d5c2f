'use strict';
// The phone page when the network misbehaves: the phone's link goes down during
// polling and during a download and comes back; sharing stops in the middle of a
// download. The page must say it is offline within its time-out and come back
// within one poll, and a cut download must fail on the phone, never end as a
// silently short file.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const { waitFor } = require('./harness');
const { hostPath, startRun, endRun } = require('./linkhost');

// The page polls every 2 s and aborts a state request after 7 s.
const POLL_MS = 2000;
const ABORT_MS = 7000;
const ONE_POLL_MS = POLL_MS + 1500;
const ONLINE = 'Connecté au PC · mise à jour automatique';
const OFFLINE = 'PC indisponible. Vérifiez le réseau et le partage Windows.';
const FILE_NAME = 'gros.bin';

let work, fileBytes, host, link, browser, page;

// The one interface of a namespace that is not the loopback ('' = this one).
function interfaceOf(namespace) {
  const args = namespace ? ['-n', namespace, '-br', 'link'] : ['-br', 'link'];
  const names = execFileSync('ip', args, { encoding: 'utf8' }).split('\n')
    .map((line) => line.split(/\s+/)[0].split('@')[0]).filter((name) => name && name !== 'lo');
  assert.equal(names.length, 1, `interfaces: ${names}`);
  return names[0];
}

function phoneLink(state) {
  execFileSync('ip', ['link', 'set', 'dev', interfaceOf(''), state]);
}

async function linkUp() {
  phoneLink('up');
  await waitFor(() => /LOWER_UP/.test(execFileSync('ip', ['-br', 'link', 'show', 'dev', interfaceOf('')],
    { encoding: 'utf8' })), { timeout: 5000, what: 'carrier back' });
}

async function status() {
  return page.locator('#status').textContent();
}

// The Content-Length the server announces for the shared file (asked apart, the
// connection dropped once the head is in).
function announcedLength(url) {
  return new Promise((resolve, reject) => {
    const request = http.get(url, (response) => {
      resolve(Number(response.headers['content-length']));
      response.destroy();
    });
    request.setTimeout(10000, () => request.destroy(new Error('no answer to the length request')));
    request.on('error', reject);
  });
}

// Starts the download of the shared file; resolves with the download and the length
// the server announces for it.
async function startDownload() {
  const url = new URL(await page.locator('#download').getAttribute('href'), link).href;
  const length = await announcedLength(url);
  const [download] = await Promise.all([page.waitForEvent('download', { timeout: 15000 }), page.click('#download')]);
  return { download, length };
}

// What the phone ended with, within a minute: the browser's failure text, or the saved bytes.
async function outcomeOf(download) {
  let timer;
  const late = new Promise((resolve, reject) => {
    timer = setTimeout(() => reject(new Error('the download neither ended nor failed within 60 s')), 60000);
  });
  const failure = await Promise.race([download.failure(), late]).finally(() => clearTimeout(timer));
  if (failure !== null) return { failure };
  return { bytes: fs.readFileSync(await download.path()) };
}

before(async () => {
  assert.ok(process.env.PC_NETNS, 'run through in_namespaces.sh');
  fileBytes = crypto.randomBytes(6 * 1024 * 1024);
  // About 3 s for the file, so that faults land in the middle of a download.
  execFileSync('ip', ['netns', 'exec', process.env.PC_NETNS, 'tc', 'qdisc', 'add', 'dev', interfaceOf(process.env.PC_NETNS),
    'root', 'tbf', 'rate', '16mbit', 'burst', '64kbit', 'latency', '200ms']);
  ({ work, host, link, browser, page } = await startRun({
    prefix: 'tolvenaire-faults-',
    files: { [FILE_NAME]: fileBytes },
    args: (folder) => ['--address', process.env.PC_ADDRESS, '--text', 'réseau capricieux',
      '--file', hostPath(path.join(folder, FILE_NAME))],
  }));
  await page.goto(link);
  await waitFor(async () => (await status()) === ONLINE, { timeout: 5000, what: 'online at load' });
});

after(async () => {
  try { await linkUp(); } catch { /* the namespaces go away anyway */ }
  await endRun({ browser, host, work });
});

test('link down while polling: offline within the time-out, online within one poll of its return', async () => {
  phoneLink('down');
  const lost = Date.now();
  await waitFor(async () => (await status()) === OFFLINE,
    { timeout: POLL_MS + ABORT_MS + 1000, what: 'offline after the link went down' });
  assert.equal(await page.locator('#text').inputValue(), 'réseau capricieux', 'what was shown stays');
  const offlineAfter = Date.now() - lost;

  await linkUp();
  const back = Date.now();
  await waitFor(async () => (await status()) === ONLINE, { timeout: ONE_POLL_MS, what: 'online after the link came back' });
  console.log(`# offline after ${offlineAfter} ms, online again ${Date.now() - back} ms after the link returned`);
});

test('link down and up during a download: the file arrives whole or the download fails', async () => {
  const { download, length } = await startDownload();
  assert.equal(length, fileBytes.length);
  phoneLink('down');
  // Long enough to lose packets in flight, short of any time-out.
  await page.waitForTimeout(1500);
  await linkUp();
  const outcome = await outcomeOf(download);
  if (outcome.failure === undefined) {
    assert.equal(outcome.bytes.length, length, 'a short file was saved as complete');
    assert.ok(outcome.bytes.equals(fileBytes), 'the saved bytes differ');
  }
  console.log(`# download across the link outage: ${outcome.failure ?? 'complete'}`);
  await waitFor(async () => (await status()) === ONLINE, { timeout: ABORT_MS + ONE_POLL_MS, what: 'online again' });
});

test('Stop sharing in the middle of a download: the phone sees a failure, not a short file', async () => {
  const { download, length } = await startDownload();
  assert.equal(length, fileBytes.length);
  host.send('stop');
  const outcome = await outcomeOf(download);
  assert.notEqual(outcome.failure, undefined,
    `the browser saved ${outcome.bytes?.length} of ${length} bytes as a finished download`);
  console.log(`# download cut by stop: ${outcome.failure}`);
  await waitFor(async () => (await status()) === OFFLINE, { timeout: POLL_MS + ABORT_MS + 1000, what: 'offline after stop' });
});
