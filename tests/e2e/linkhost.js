'use strict';
// Runs the link host in the pc namespace and talks to it through its standard
// input and output.
const { spawn } = require('node:child_process');
const readline = require('node:readline');

// LINKHOST: JSON array, the command that starts the host (native binary, or
// Wine with the .exe). LINKHOST_WINE=1 when file paths must be Windows paths.
function hostCommand() {
  const command = JSON.parse(process.env.LINKHOST || 'null');
  if (!Array.isArray(command) || command.length === 0) throw new Error('LINKHOST is not set');
  return command;
}

function hostPath(unixPath) {
  return process.env.LINKHOST_WINE === '1' ? `Z:${unixPath.replace(/\//g, '\\')}` : unixPath;
}

function startHost(args, { timeout = 60000 } = {}) {
  const command = ['ip', 'netns', 'exec', process.env.PC_NETNS, ...hostCommand(), ...args];
  const child = spawn(command[0], command.slice(1), { stdio: ['pipe', 'pipe', 'pipe'] });
  const host = { child, lines: [], stderr: '', waiters: [] };
  child.stderr.on('data', (chunk) => { host.stderr += chunk; });
  readline.createInterface({ input: child.stdout }).on('line', (line) => {
    host.lines.push(line);
    for (const waiter of host.waiters.splice(0)) waiter();
  });
  host.exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));

  // Resolves with stdout line number `index` (0-based) once it is printed.
  host.line = (index, ms = timeout) => new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`no line ${index} from the link host within ${ms} ms; ` +
      `stderr: ${host.stderr}`)), ms);
    const check = () => {
      if (host.lines.length > index) { clearTimeout(timer); resolve(host.lines[index]); return; }
      host.waiters.push(check);
    };
    host.exited.then(() => { if (host.lines.length <= index) { clearTimeout(timer); reject(new Error(`link host exited; stderr: ${host.stderr}`)); } });
    check();
  });
  host.send = (line) => child.stdin.write(`${line}\n`);
  host.finish = async (ms = 15000) => {
    child.stdin.end();
    const timer = setTimeout(() => child.kill('SIGKILL'), ms);
    const result = await host.exited;
    clearTimeout(timer);
    return result;
  };
  return host;
}

// The start of a run against the host: a work folder the host may read holding
// `files` (name: content), the host started with `args(work)`, its link, and a
// browser page (not yet on the link), of Playwright's phone unless `launch(work)` says.
async function startRun({ prefix, files, args, launch = undefined }) {
  const fs = require('node:fs');
  const os = require('node:os');
  const path = require('node:path');
  const { launchBrowser } = require('./harness');
  const work = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  fs.chmodSync(work, 0o755);
  for (const [name, content] of Object.entries(files)) fs.writeFileSync(path.join(work, name), content);
  const host = startHost(args(work));
  const link = await host.line(0, process.env.LINKHOST_WINE === '1' ? 180000 : 30000);
  const browser = await (launch ? launch(work) : launchBrowser());
  return { work, host, link, browser, page: await browser.newPage() };
}

// The end of a run against the host: the browser and its profile, the host (which
// must exit cleanly) and the test's work folder.
async function endRun({ browser, host, work }) {
  const fs = require('node:fs');
  const assert = require('node:assert/strict');
  if (browser) { await browser.close(); browser.cleanupProfile(); }
  if (host) {
    const { code } = await host.finish();
    assert.equal(code, 0, `link host exit code; stderr: ${host.stderr}`);
  }
  fs.rmSync(work, { recursive: true, force: true });
}

module.exports = { startHost, hostPath, startRun, endRun };
