// Two members correspond in a real browser: one signs in to the mailbox and writes the other a
// message with a smiley; the other signs in to the board, sees the unread count on the front
// page, opens the message and replies with the original quoted.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { fillSignIn, useBoard } from './harness.mjs';

const alice = { name: 'alice', password: 'alicepw1' };
const bob = { name: 'bob', password: 'bobpw22' };
const board = useBoard('messages', ['SubmitInterval=0'], [alice, bob]);
const { shots } = board;

test('two members exchange private messages', async () => {
  const { base, context } = board;
  const page = await context.newPage();

  // alice: the mailbox asks who she is, then lands in her (empty) inbox.
  await page.goto(`${base}pm.asp`);
  await fillSignIn(page, alice, ['userName', 'Password']);
  await page.click('input[type=submit][value="现在认证我"]');
  assert.match(await page.innerText('body'), /我们已经确认了你的身份/);
  await page.waitForURL(/pm\.asp\?$/, { timeout: 10000 });
  assert.match(await page.title(), /收件箱/);
  assert.match(await page.innerText('body'), /对不起，你没有留言！/);

  await page.click('a:has-text("新悄悄话")');
  await page.fill('input[name=recipient]', 'bob');
  await page.fill('input[name=Subject]', '周末');
  await page.fill('textarea[name=Message]', '[b]周六[/b]去爬山吗？ :)');
  await page.click('input[type=submit][value="发送"]');
  assert.match(await page.innerText('body'), /alice,谢谢你发表悄悄话/);

  // bob, in a fresh browser session: signs in to the board and sees the count on the index.
  await context.clearCookies();
  await page.goto(`${base}login.htm`);
  await fillSignIn(page, bob);
  await page.click('input[type=submit][name=Submit]');
  await page.goto(base);
  const row = page.locator('td', { has: page.locator('a[href="pm.asp"]') }).last();
  assert.match(await row.innerText(), /您有1条新悄悄话/);
  await page.screenshot({ path: join(shots, 'messages-index.png'), fullPage: true });

  // The board's sign-in opens the mailbox too; markup shows, smiley codes stay as typed.
  await row.locator('a[href="pm.asp"]').click();
  assert.equal(await page.locator('img[alt="新留言"]').count(), 1);
  await page.click('a[href^="pm.asp?action=viewpm"]:has-text("周末")');
  const body = page.locator('td[valign=top]', { hasText: '去爬山吗' }).last();
  assert.equal(await body.locator('b', { hasText: '周六' }).count(), 1);
  assert.match(await body.innerText(), /去爬山吗？ :\)/);
  assert.equal(await body.locator('img[src*="smil"]').count(), 0);
  await page.screenshot({ path: join(shots, 'messages-view.png'), fullPage: true });

  // The reply form quotes the original; the script-edited text is what arrives.
  await page.click('a:has-text("回复")');
  assert.equal(await page.inputValue('input[name=recipient]'), 'alice');
  assert.equal(await page.inputValue('input[name=Subject]'), '回复:周末');
  const reply = page.locator('textarea[name=Message]');
  assert.match(await reply.inputValue(), /^-----原始邮件-----\r?\n发件人: alice\r?\n[^]*去爬山吗？ :\)$/);
  await reply.evaluate((area) => { area.value = '好的！\n\n' + area.value; });
  await page.click('input[type=submit][value="发送"]');
  assert.match(await page.innerText('body'), /bob,谢谢你发表悄悄话/);
  await page.goto(`${base}pm.asp?action=outbox`);
  await page.click('a[href^="pm.asp?action=viewoutbox"]:has-text("回复:周末")');
  assert.match(await page.innerText('body'), /好的！/);
});
