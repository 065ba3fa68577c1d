// A member in a real browser: opens a topic written with the editor's bold button, replies
// quoting it, and finds both posts rendered in the thread view.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, mkdirSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join, resolve, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const repo = resolve(dirname(fileURLToPath(import.meta.url)), '..', '..');
const binary = process.env.CORKBOARD_BIN || join(repo, 'build', 'asan', 'corkboard');
const chromiumPath = process.env.CHROMIUM_BIN || '/usr/bin/chromium';
const work = mkdtempSync(join(tmpdir(), 'corkboard-e2e-posting-'));
const data = join(work, 'data');
const shots = process.env.E2E_SCREENSHOTS || work;
const forum = '自由讨论';  // the forum a new board starts with
const member = { name: 'writer', password: 'pw2024' };

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

before(async () => {
  const port = await freePort();
  base = `http://127.0.0.1:${port}/`;
  mkdirSync(data);
  server = spawn(binary, [
    'serve', '--listen', `127.0.0.1:${port}`, '--data', data, '--site', join(repo, 'site'),
    '--config', join(repo, 'config', 'corkboard.conf'),
    '--set', `SmtpServer=dir:${join(work, 'outbox')}`, '--set', 'SubmitInterval=0', '--quiet',
  ], { stdio: ['ignore', 'pipe', 'pipe'] });
  server.stdout.on('data', (d) => { serverLog += d; });
  server.stderr.on('data', (d) => { serverLog += d; });
  await waitForBoard(base, 30000);
  // The running server has created the board; the member joins it through the command line.
  execFileSync(binary, ['user', 'add', member.name, member.password, '--data', data,
    '--config', join(repo, 'config', 'corkboard.conf')], { stdio: 'pipe' });
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

async function signInFields(page) {
  await page.fill('input[name=UserName]', member.name);
  await page.fill('input[name=Password]', member.password);
}

test('a member opens a topic in bold and replies with a quote', async () => {
  const page = await context.newPage();
  await page.goto(base);
  await page.click(`a[href^="list.asp?GroupName="]:has-text("${forum}")`);
  await page.click('a[href^="posting.asp?action=newtopic"]');
  assert.match(await page.title(), /发表新话题/);

  // The bold button asks for the text in the default mode and inserts the tag pair.
  await signInFields(page);
  await page.fill('input[name=TopicSubject]', '编辑器测试');
  const message = page.locator('textarea[name=Message]');
  await message.fill('开头 ');
  page.once('dialog', (dialog) => dialog.accept('粗体文字'));
  await page.click('img[alt="黑体"]');
  assert.equal(await message.inputValue(), '开头 [b]粗体文字[/b]');
  // With text selected, the button wraps the selection without asking.
  await message.fill('斜体');
  await message.selectText();
  await page.click('img[alt="斜体"]');
  assert.equal(await message.inputValue(), '[i]斜体[/i]');
  await message.fill('开头 ');
  page.once('dialog', (dialog) => dialog.accept('粗体文字'));
  await page.click('img[alt="黑体"]');
  await page.screenshot({ path: join(shots, 'new-topic-form.png'), fullPage: true });
  await page.click('input[type=submit][value="发表新话题"]');
  assert.match(await page.innerText('body'), /writer,谢谢您发表新主题/);

  // The wait page forwards to the list; the topic leads to the thread view.
  await page.waitForURL(/list\.asp/i, { timeout: 10000 });
  await page.click('a[title="编辑器测试"]:not([target])');
  const topicPost = page.locator('td[valign=top]', { hasText: '开头' }).last();
  assert.equal(await topicPost.locator('b', { hasText: '粗体文字' }).count(), 1);

  // Quote the topic: the form arrives with the quotation, the member adds a line.
  await new Promise((r) => setTimeout(r, 1100));  // one second apart for the flood guard
  await page.click('img[alt="引用这个贴子回复"]');
  const reply = page.locator('textarea[name=Message]');
  assert.match(await reply.inputValue(), /^writer在上个贴子中说\r?\n\[quote\] 开头 \[b\]粗体文字\[\/b\] \[\/quote\]$/);
  await reply.press('End');
  await reply.evaluate((area) => { area.value += '\n我同意'; });
  await signInFields(page);
  await page.click('input[type=submit][value="发送回贴"]');
  assert.match(await page.innerText('body'), /writer，谢谢您回复话题/);
  await page.waitForURL(/newsdetail\.asp\?id=\d+$/i, { timeout: 10000 });

  // Both posts, rendered: the bold text in the topic and inside the reply's quotation.
  const posts = page.locator('tr', { has: page.locator('td[width="18%"]', { hasText: 'writer' }) });
  assert.equal(await posts.count(), 2);
  const replyCell = posts.nth(1);
  const quoted = replyCell.locator('blockquote');
  assert.equal(await quoted.count(), 1);
  assert.equal(await quoted.locator('b', { hasText: '粗体文字' }).count(), 1);
  assert.match(await replyCell.innerText(), /我同意/);
  assert.equal(await posts.nth(0).locator('b', { hasText: '粗体文字' }).count(), 1);
  await page.screenshot({ path: join(shots, 'thread-view.png'), fullPage: true });
});
