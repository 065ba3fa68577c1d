// A member in a real browser: opens a topic, edits it through the thread view's edit icon, and
// finds the new text with the edit note under it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { join } from 'node:path';
import { binary, config, useBoard } from './harness.mjs';

const forum = '自由讨论';  // the forum a new board starts with
const member = { name: 'editor', password: 'pw2024' };

const board = useBoard('editing', ['SubmitInterval=0'], async ({ data }) => {
  execFileSync(binary, ['user', 'add', member.name, member.password, '--data', data,
    '--config', config], { stdio: 'pipe' });
});

async function signInFields(page) {
  await page.fill('input[name=UserName]', member.name);
  await page.fill('input[name=Password]', member.password);
}

test('a member edits his post and sees the edit note', async () => {
  const page = await board.context.newPage();
  await page.goto(board.base);
  await page.click(`a[href^="list.asp?GroupName="]:has-text("${forum}")`);
  await page.click('a[href^="posting.asp?action=newtopic"]');
  await signInFields(page);
  await page.fill('input[name=TopicSubject]', '待修改的话题');
  await page.fill('textarea[name=Message]', '第一版');
  await page.click('input[type=submit][value="发表新话题"]');
  await page.waitForURL(/list\.asp/i, { timeout: 10000 });
  await page.click('a[title="待修改的话题"]:not([target])');
  await page.waitForURL(/newsdetail\.asp\?id=\d+/i);

  // The edit icon opens the form holding the post as written.
  await page.click('img[alt="编辑/删除贴子"]');
  assert.match(await page.title(), /^编辑话题 - /);
  const message = page.locator('textarea[name=Message]');
  assert.equal(await message.inputValue(), '第一版');
  assert.equal(await page.inputValue('input[name=TopicSubject]'), '待修改的话题');
  await signInFields(page);
  await message.fill('第二版 [b]加粗[/b]');
  await page.click('input[type=submit][value="确　定"]');
  assert.match(await page.innerText('body'), /editor，谢谢你编辑贴子/);

  // The wait page returns to the thread: the new text, converted, and the note under it.
  await page.waitForURL(/newsdetail\.asp\?id=\d+$/i, { timeout: 10000 });
  const post = page.locator('td', { hasText: '第二版' }).last();
  assert.equal(await post.locator('b', { hasText: '加粗' }).count(), 1);
  assert.match(await post.locator('p[align=right]').innerText(),
    /^\[这消息被editor编辑过\(编辑时间\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\)\]\s*$/);
  await page.screenshot({ path: join(board.shots, 'edited-post.png'), fullPage: true });
});
