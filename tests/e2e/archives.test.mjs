// Archives in a real browser: an administrator creates an archive in the archive centre, moves a
// topic into it from the thread view, and a guest finds it through the front page's archive menu
// and reads it there.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { fillSignIn, firstForum, newTopic, useBoard } from './harness.mjs';

const admin = { name: 'keeper', password: 'pw2024', role: 'administrator' };
const archiveName = '精华 <2024>';
const board = useBoard('archives', ['SubmitInterval=0'], [admin]);

test('an administrator archives a topic and a guest reads it there', async () => {
  const page = await board.context.newPage();

  // The archive centre: sign in, add an archive.
  await page.goto(`${board.base}admin/archive.asp`);
  await fillSignIn(page, admin);
  await page.click('input[type=submit][value="进 入 归 档 中 心"]');
  await page.fill('input[name=NewArchiveName]', archiveName);
  await page.fill('textarea[name=NewDescript]', '旧话题');
  await page.click('input[type=submit][value="完 成 修 改"]');
  assert.match(await page.innerText('body'), /档案更新结束/);

  // A topic of the forum, moved into the archive from its thread view.
  await newTopic(page, board, admin, '值得收藏的话题', '归档的 [b]内容[/b]');
  await page.click('a[title="值得收藏的话题"]:not([target])');
  await page.click('a:has-text("移动/归档")');
  await page.check('input[name=Option][value=Archive]');
  await page.check('input[name=ArchiveChoiceOption][value=Delete]');
  await page.selectOption('select[name=ArchiveSelect]', { label: archiveName });
  await fillSignIn(page, admin);
  await page.click('input[type=submit][value="这就发送"]');
  assert.match(await page.innerText('body'), /主题：值得收藏的话题移动完成/);

  // A guest: the front page's menu leads to the archive, its list to the thread.
  await board.context.clearCookies();
  await page.goto(board.base);
  const menu = page.locator('select[name=Jumpto]');
  await menu.selectOption({ label: `\u00a0\u00a0\u00a0\u00a0${archiveName}\u00a0\u00a0\u00a0\u00a0` });
  await page.locator('form', { has: menu }).locator('input[name=go]').click();
  await page.waitForURL(/archivelist\.asp\?archiveid=\d+/i);
  assert.match(await page.title(), /^精华 <2024> - /);
  await page.click('a:has-text("值得收藏的话题")');
  await page.waitForURL(/archivecontent\.asp\?id=\d+/i);
  const body = await page.innerText('body');
  assert.match(body, /注意：这是一个归档话题。它是只读的。/);
  assert.match(body, new RegExp(`此话题先前所在的论坛：${firstForum}`));
  assert.equal(await page.locator('b', { hasText: '内容' }).count(), 1);
  await page.screenshot({ path: join(board.shots, 'archived-thread.png'), fullPage: true });
});
