// A member in a real browser: opens a topic written with the editor's bold button, replies
// quoting it, finds both posts rendered in the thread view, then edits the topic through its edit
// icon and finds the new text with the edit note under it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { fillSignIn, openForum, useBoard } from './harness.mjs';

const member = { name: 'writer', password: 'pw2024' };
const board = useBoard('posting', ['SubmitInterval=0'], [member]);
const { shots } = board;

test('a member opens a topic in bold, replies with a quote and edits the topic', async () => {
  const page = await board.context.newPage();
  await openForum(page, board);
  await page.click('a[href^="posting.asp?action=newtopic"]');
  assert.match(await page.title(), /发表新话题/);

  // The bold button asks for the text in the default mode and inserts the tag pair.
  await fillSignIn(page, member);
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
  await message.fill('开头 [b]粗体文字[/b]');
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
  await reply.evaluate((area) => { area.value += '\n我同意'; });
  await fillSignIn(page, member);
  await page.click('input[type=submit][value="发送回贴"]');
  assert.match(await page.innerText('body'), /writer，谢谢您回复话题/);
  await page.waitForURL(/newsdetail\.asp\?id=\d+$/i, { timeout: 10000 });

  // Both posts, rendered: the bold text in the topic and inside the reply's quotation.
  const posts = page.locator('tr', { has: page.locator('td[width="18%"]', { hasText: 'writer' }) });
  assert.equal(await posts.count(), 2);
  const quoted = posts.nth(1).locator('blockquote');
  assert.equal(await quoted.locator('b', { hasText: '粗体文字' }).count(), 1);
  assert.match(await posts.nth(1).innerText(), /我同意/);
  assert.equal(await posts.nth(0).locator('b', { hasText: '粗体文字' }).count(), 1);
  await page.screenshot({ path: join(shots, 'thread-view.png'), fullPage: true });

  // The topic's edit icon opens the form holding the post as written.
  await page.locator('img[alt="编辑/删除贴子"]').first().click();
  assert.match(await page.title(), /^编辑话题 - /);
  const edited = page.locator('textarea[name=Message]');
  assert.equal(await edited.inputValue(), '开头 [b]粗体文字[/b]');
  assert.equal(await page.inputValue('input[name=TopicSubject]'), '编辑器测试');
  await fillSignIn(page, member);
  await edited.fill('第二版 [b]加粗[/b]');
  await page.click('input[type=submit][value="确　定"]');
  assert.match(await page.innerText('body'), /writer，谢谢你编辑贴子/);

  // The wait page returns to the thread: the new text, converted, and the note under it.
  await page.waitForURL(/newsdetail\.asp\?id=\d+$/i, { timeout: 10000 });
  const post = page.locator('td', { hasText: '第二版' }).last();
  assert.equal(await post.locator('b', { hasText: '加粗' }).count(), 1);
  assert.match(await post.locator('p[align=right]').innerText(),
    /^\[这消息被writer编辑过\(编辑时间\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\)\]\s*$/);
});
