// A visitor in a real browser: opens the front page, registers (the password arrives by mail in
// the outbox folder), signs in, and finds the new member in the online row and the online list.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync, mkdirSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join, resolve, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const repo = resolve(dirname(fileURLToPath(import.meta.url)), '..', '..');
const binary = process.env.CORKBOARD_BIN || join(repo, 'build', 'asan', 'corkboard');
const chromiumPath = process.env.CHROMIUM_BIN || '/usr/bin/chromium';
const work = mkdtempSync(join(tmpdir(), 'corkboard-e2e-'));
const outbox = join(work, 'outbox');
const shots = process.env.E2E_SCREENSHOTS || work;

let server;
let serverLog = '';
let base;
let context;

function freePort() {
  return new Promise((done, fail) => {
    const s = createServer();
    s.on('error', fail);
    s.listen(0, '127.0.0.1', () => {
      const { port } = s.address();
      s.close(() => done(port));
    });
  });
}

async function waitForBoard(url, ms) {
  const until = Date.now() + ms;
  while (Date.now() < until) {
    if (server.exitCode !== null) throw new Error(`server exited ${server.exitCode}:\n${serverLog}`);
    try {
      const r = await fetch(url, { redirect: 'manual' });
      if (r.status > 0) return;
    } catch {
      // not listening yet
    }
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error(`server did not answer within ${ms} ms:\n${serverLog}`);
}

// The generated password of the newest mail to `address` in the outbox (base64 GBK body).
function mailedPassword(address) {
  const files = readdirSync(outbox).filter((f) => f.endsWith('.eml')).sort();
  for (const f of files.reverse()) {
    const raw = readFileSync(join(outbox, f), 'latin1');
    if (!raw.includes(address)) continue;
    const split = raw.indexOf('\r\n\r\n');
    const headers = raw.slice(0, split);
    let body = Buffer.from(raw.slice(split + 4), 'latin1');
    if (/Content-Transfer-Encoding:\s*base64/i.test(headers)) {
      body = Buffer.from(body.toString('latin1').replace(/\s+/g, ''), 'base64');
    }
    const charset = (/charset="?([\w-]+)/i.exec(headers) || [, 'utf-8'])[1];
    const text = new TextDecoder(charset.toLowerCase() === 'gb2312' ? 'gbk' : charset).decode(body);
    const m = /口令：([0-9A-Za-z]{6})</.exec(text);
    if (m) return m[1];
  }
  throw new Error(`no password mail to ${address} in ${outbox}`);
}

before(async () => {
  const port = await freePort();
  base = `http://127.0.0.1:${port}/`;
  mkdirSync(join(work, 'data'));
  server = spawn(binary, [
    'serve', '--listen', `127.0.0.1:${port}`, '--data', join(work, 'data'),
    '--site', join(repo, 'site'), '--config', join(repo, 'config', 'corkboard.conf'),
    '--set', `SmtpServer=dir:${outbox}`, '--set', 'EMailRegister=true', '--quiet',
  ], { stdio: ['ignore', 'pipe', 'pipe'] });
  server.stdout.on('data', (d) => { serverLog += d; });
  server.stderr.on('data', (d) => { serverLog += d; });
  await waitForBoard(base, 30000);
  context = await chromium.launchPersistentContext(join(work, 'profile'), {
    executablePath: chromiumPath,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1100, height: 900 },
  });
});

after(async () => {
  if (context) await context.close();
  if (server && server.exitCode === null) {
    const exited = new Promise((r) => server.once('exit', r));
    server.kill('SIGTERM');
    await Promise.race([exited, new Promise((r) => setTimeout(r, 10000))]);
    if (server.exitCode === null) server.kill('SIGKILL');
  }
  if (!process.env.E2E_KEEP) rmSync(work, { recursive: true, force: true });
});

test('a visitor registers, signs in and is listed online', async () => {
  const page = await context.newPage();
  const name = '小明2024';
  const email = 'xiaoming@example.com';

  await page.goto(base);
  assert.match(await page.title(), /Corkboard/);
  const row = page.locator('td', { hasText: '当前浏览的朋友' }).last();
  assert.match(await row.innerText(), /游客 \(127\.0\.0\.\*\)/);
  await page.screenshot({ path: join(shots, 'front-page-guest.png'), fullPage: true });

  // The rules, then the form.
  await page.click('a[href="signup.asp"]');
  assert.match(await page.content(), /论坛规则及用户协议/);
  await page.click('input[name=Submit][value="同意"]');
  await page.fill('input[name=UserName]', name);
  await page.fill('input[name=Email]', email);
  await page.fill('input[name=Location]', '北京');
  await page.click('input[type=submit][value="提交"]');
  assert.match(await page.innerText('body'), new RegExp(`${name} 您好，您已经成功在`));

  const password = mailedPassword(email);
  assert.match(password, /^[0-9A-Za-z]{6}$/);

  // Sign in from the page the navigation bar links to.
  await page.goto(base);
  await page.click('a[href="login.htm"]');
  await page.fill('input[name=UserName]', name);
  await page.fill('input[name=Password]', password);
  await Promise.all([page.waitForURL(/default\.asp$/i), page.click('input[type=submit]')]);

  const online = page.locator('td', { hasText: '当前浏览的朋友' }).last();
  assert.match(await online.innerText(), new RegExp(`成员 ${name}`));
  await page.screenshot({ path: join(shots, 'front-page-member.png'), fullPage: true });

  await page.click('a[href="online.asp"]');
  const link = page.locator(`a[href^="viewuser.asp?username="]`, { hasText: name });
  assert.equal(await link.count(), 1);
});
