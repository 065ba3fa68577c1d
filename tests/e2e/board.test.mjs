// A visitor in a real browser: opens the front page, registers (the password arrives by mail in
// the outbox of the --data folder, a relative dir: path, private to the board's user, linking to
// the listening address when BBURL is not set), signs in, and finds the new member in the online
// row and the online list.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readdirSync, readFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { fillSignIn, useBoard } from './harness.mjs';

const board = useBoard('board', ['EMailRegister=true', 'SmtpServer=dir:outbox']);
const { shots } = board;
const outbox = join(board.data, 'outbox');

// The password and the text of the newest mail to `address` in the outbox (base64 GBK body).
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
    assert.equal(statSync(join(outbox, f)).mode & 0o777, 0o600);
    assert.ok(text.includes(`<a href=${board.base}>`), text);
    if (m) return m[1];
  }
  throw new Error(`no password mail to ${address} in ${outbox}`);
}

test('a visitor registers, signs in and is listed online', async () => {
  const page = await board.context.newPage();
  const { base } = board;
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
  assert.equal(statSync(outbox).mode & 0o777, 0o700);

  // Sign in from the page the navigation bar links to.
  await page.goto(base);
  await page.click('a[href="login.htm"]');
  await fillSignIn(page, { name, password });
  await Promise.all([page.waitForURL(/default\.asp$/i), page.click('input[type=submit]')]);

  const online = page.locator('td', { hasText: '当前浏览的朋友' }).last();
  assert.match(await online.innerText(), new RegExp(`成员 ${name}`));
  await page.screenshot({ path: join(shots, 'front-page-member.png'), fullPage: true });

  await page.click('a[href="online.asp"]');
  const link = page.locator(`a[href^="viewuser.asp?username="]`, { hasText: name });
  assert.equal(await link.count(), 1);
});
