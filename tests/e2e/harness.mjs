// The browser tests' shared harness: starts the real server on a free port with its own data
// folder, outbox and members, opens a headless chromium profile, and stops both when the file's
// tests end; the steps several flows share (opening a forum, signing in on a form, a new topic).
import { before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { mkdtempSync, rmSync, mkdirSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join, resolve, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const repo = resolve(dirname(fileURLToPath(import.meta.url)), '..', '..');
export const binary = process.env.CORKBOARD_BIN || join(repo, 'build', 'asan', 'corkboard');
export const config = join(repo, 'config', 'corkboard.conf');
const chromiumPath = process.env.CHROMIUM_BIN || '/usr/bin/chromium';

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

async function waitForBoard(board, ms) {
  const until = Date.now() + ms;
  while (Date.now() < until) {
    if (board.server.exitCode !== null) {
      throw new Error(`server exited ${board.server.exitCode}:\n${board.serverLog}`);
    }
    try {
      const r = await fetch(board.base, { redirect: 'manual' });
      if (r.status > 0) return;
    } catch {
      // not listening yet
    }
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error(`server did not answer within ${ms} ms:\n${board.serverLog}`);
}

// The board's wait pages move on by themselves (a meta refresh); a goto that such a refresh
// interrupts on a slow machine is tried again once the page has settled, as a visitor would.
function retryInterruptedGoto(page) {
  const goto = page.goto.bind(page);
  page.goto = async (url, options) => {
    for (let attempt = 1; ; ++attempt) {
      try {
        return await goto(url, options);
      } catch (e) {
        if (attempt >= 3 || !/interrupted by another navigation/.test(String(e.message))) throw e;
        await page.waitForLoadState('load').catch(() => {});
      }
    }
  };
}

// Registers before/after hooks for one board. `settings` are extra --set values; `members`
// ({name, password, role}) join through the command line once the running server has created
// the board, before the browser opens. The returned object's base, context, ... are filled in by
// the before hook.
export function useBoard(name, settings = [], members = []) {
  const work = mkdtempSync(join(tmpdir(), `corkboard-e2e-${name}-`));
  const board = {
    work,
    data: join(work, 'data'),
    outbox: join(work, 'outbox'),
    shots: process.env.E2E_SCREENSHOTS || work,
    serverLog: '',
  };

  before(async () => {
    const port = await freePort();
    board.base = `http://127.0.0.1:${port}/`;
    mkdirSync(board.data);
    const sets = [`SmtpServer=dir:${board.outbox}`, ...settings].flatMap((s) => ['--set', s]);
    board.server = spawn(binary, [
      'serve', '--listen', `127.0.0.1:${port}`, '--data', board.data, '--site', join(repo, 'site'),
      '--config', config, ...sets, '--quiet',
    ], { stdio: ['ignore', 'pipe', 'pipe'] });
    board.server.stdout.on('data', (d) => { board.serverLog += d; });
    board.server.stderr.on('data', (d) => { board.serverLog += d; });
    await waitForBoard(board, 30000);
    for (const { name: who, password, role } of members) {
      execFileSync(binary, ['user', 'add', who, password, ...(role ? ['--role', role] : []),
        '--data', board.data, '--config', config], { stdio: 'pipe' });
    }
    board.context = await chromium.launchPersistentContext(join(work, 'profile'), {
      executablePath: chromiumPath,
      headless: true,
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
      viewport: { width: 1100, height: 900 },
    });
    board.context.pages().forEach(retryInterruptedGoto);
    board.context.on('page', retryInterruptedGoto);
  });

  after(async () => {
    const { context, server } = board;
    if (context) await context.close();
    if (server && server.exitCode === null) {
      const exited = new Promise((r) => server.once('exit', r));
      server.kill('SIGTERM');
      await Promise.race([exited, new Promise((r) => setTimeout(r, 10000))]);
      if (server.exitCode === null) server.kill('SIGKILL');
    }
    if (!process.env.E2E_KEEP) rmSync(work, { recursive: true, force: true });
  });

  return board;
}

// The forum a new board starts with.
export const firstForum = '自由讨论';

// Addresses carry GBK bytes, as the board's own links do: a forum is reached by its link.
export async function openForum(page, board, forum = firstForum) {
  await page.goto(board.base);
  await page.click(`a[href^="list.asp?GroupName="]:has-text("${forum}")`);
}

// Fills the sign-in fields of a page or of one form on it, when it asks for them.
export async function fillSignIn(scope, who, fields = ['UserName', 'Password']) {
  const name = scope.locator(`input[name=${fields[0]}]`);
  if (await name.count() === 0) return;
  await name.fill(who.name);
  await scope.locator(`input[name=${fields[1]}]`).fill(who.password);
}

// Writes a topic in a forum through its new-topic form; ends on the topic list it returns to.
export async function newTopic(page, board, who, subject, message, forum = firstForum) {
  await openForum(page, board, forum);
  await page.click('a[href^="posting.asp?action=newtopic"]');
  const form = page.locator('form[name=PostTopic]');
  await fillSignIn(form, who);
  await form.locator('input[name=TopicSubject]').fill(subject);
  await form.locator('textarea[name=Message]').fill(message);
  await page.click('input[type=submit][value="发表新话题"]');
  assert.match(await page.innerText('body'), /谢谢您发表新主题/);
  await page.waitForURL(/list\.asp/i, { timeout: 10000 });
}
