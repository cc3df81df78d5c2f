'use strict';
// A stand-in for the PC that serves the real page assets and whatever state
// document a test hands it, so the page's checks of that document can be
// exercised with answers the real server never gives.
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');

const ASSETS = process.env.ASSET_DIR || path.join(__dirname, '..', '..', 'link', 'assets');
const TOKEN = '0123456789abcdef0123456789abcdef';
const SECURITY = {
  'Cache-Control': 'no-store',
  'X-Content-Type-Options': 'nosniff',
  'Content-Security-Policy': "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; " +
    "base-uri 'none'; frame-ancestors 'none'; form-action 'none'",
};
const TYPES = {
  '': ['page.html', 'text/html; charset=utf-8'],
  'style.css': ['style.css', 'text/css; charset=utf-8'],
  'app.js': ['app.js', 'text/javascript; charset=utf-8'],
};

function startFakeServer() {
  const fake = {
    requests: [],  // each state request: its headers
    // (request) => {status, body, etag} or 'hang' or 'drop'
    answer: () => ({ status: 200, body: { language: 'fr', revision: 1, text: '', file: null } }),
  };
  const sockets = new Set();
  const server = http.createServer((request, response) => {
    const prefix = `/${TOKEN}/`;
    const route = request.url.startsWith(prefix) ? request.url.slice(prefix.length).split('?')[0] : null;
    if (route !== null && Object.prototype.hasOwnProperty.call(TYPES, route)) {
      const [file, type] = TYPES[route];
      response.writeHead(200, { ...SECURITY, 'Content-Type': type });
      response.end(fs.readFileSync(path.join(ASSETS, file)));
      return;
    }
    if (route === 'state') {
      fake.requests.push({ headers: request.headers, at: Date.now() });
      const answer = fake.answer(request);
      if (answer === 'hang') return;
      if (answer === 'drop') { request.socket.destroy(); return; }
      const headers = { ...SECURITY, 'Content-Type': 'application/json; charset=utf-8' };
      if (answer.etag) headers.ETag = answer.etag;
      response.writeHead(answer.status, headers);
      response.end(answer.status === 304 ? undefined
        : typeof answer.body === 'string' ? answer.body : JSON.stringify(answer.body));
      return;
    }
    response.writeHead(404, { ...SECURITY, 'Content-Type': 'text/plain' });
    response.end('Element indisponible');
  });
  server.on('connection', (socket) => { sockets.add(socket); socket.on('close', () => sockets.delete(socket)); });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => {
      fake.link = `http://127.0.0.1:${server.address().port}/${TOKEN}/`;
      fake.close = () => new Promise((done) => { for (const s of sockets) s.destroy(); server.close(done); });
      resolve(fake);
    });
  });
}

module.exports = { startFakeServer };
