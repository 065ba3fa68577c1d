// The browser tests' shared harness: starts the real server on a free port with its own data
// folder and outbox, opens a headless chromium profile, and stops both when the file's tests end.
import { before, after } from 'node:test';
import { spawn } from 'node:child_process';
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

// Registers before/after hooks for one board. `settings` are extra --set values; `ready` runs
// once the server answers, before the browser opens. The returned object's base, context, ...
// are filled in by the before hook.
export function useBoard(name, settings = [], ready = async () => {}) {
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
    await ready(board);
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
