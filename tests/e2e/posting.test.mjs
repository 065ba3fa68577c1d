// A member in a real browser: opens a topic written with the editor's bold button, replies
// quoting it, and finds both posts rendered in the thread view.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { join } from 'node:path';
import { binary, config, useBoard } from './harness.mjs';

const forum = '自由讨论';  // the forum a new board starts with
const member = { name: 'writer', password: 'pw2024' };

// The running server has created the board; the member joins it through the command line.
const board = useBoard('posting', ['SubmitInterval=0'], async ({ data }) => {
  execFileSync(binary, ['user', 'add', member.name, member.password, '--data', data,
    '--config', config], { stdio: 'pipe' });
});
const { shots } = board;

async function signInFields(page) {
  await page.fill('input[name=UserName]', member.name);
  await page.fill('input[name=Password]', member.password);
}

test('a member opens a topic in bold and replies with a quote', async () => {
  const page = await board.context.newPage();
  const { base } = board;
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
