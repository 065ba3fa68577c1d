// The control panel in a real browser: the administrator signs in, adds a forum and names its
// moderator; the moderator then finds only that forum in the panel and renames a topic there;
// with the upload folder the administrator gives him he uploads a picture and the board serves
// it. Who may do what is the page tests' access table.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { fillSignIn, newTopic, openForum, useBoard } from './harness.mjs';

const admin = { name: 'boss', password: 'boss2024', role: 'administrator' };
const moderator = { name: 'keeper', password: 'keep2024' };
const forum = '新手上路';
const board = useBoard('panel', ['SubmitInterval=0'], [admin, moderator]);

test('the administrator adds a forum with a moderator who then renames a topic there', async () => {
  const page = await board.context.newPage();
  const { base, shots } = board;

  // The administrator: front page of the panel, sign-in, the summary, the new-forum form.
  await page.goto(`${base}admin/`);
  await page.click('a[href="forum.asp"]');
  await fillSignIn(page, admin);
  await page.click('input[type=submit][value="发 送 身 份 确 认"]');
  assert.match(await page.innerText('body'), /你现在共有 1 个论坛/);
  await page.click('a[href="forum.asp?action=addforums"]');
  assert.equal(await page.inputValue('input[name=UserName]'), admin.name);
  await page.fill('input[name=forumname]', forum);
  await page.check('input[name=newcatalog]');
  await page.fill('input[name=newcatalogName]', '入门');
  await page.fill('textarea[name=descript]', '新来的朋友请看这里');
  await page.fill('input[name=moderater]', moderator.name);
  await page.screenshot({ path: join(shots, 'panel-new-forum.png'), fullPage: true });
  await page.click('input[type=submit][value="新 增 此 论 坛"]');
  assert.match(await page.innerText('body'), /版面更新结束/);
  await page.click('a[href="forum.asp?action=order"]');
  assert.match(await page.innerText('body'), /你现在共有 2 个论坛/);

  // The board's index lists it with its moderator.
  await page.goto(base);
  const row = page.locator('tr', { has: page.locator(`a:has-text("${forum}")`) }).last();
  assert.match(await row.innerText(), new RegExp(moderator.name));

  // The moderator, in a fresh session, opens a topic in his forum.
  await board.context.clearCookies();
  await newTopic(page, board, moderator, '欢迎', '欢迎新朋友', forum);

  // In the panel he is offered only his forum, renames the topic there.
  await page.goto(`${base}admin/edit.asp`);
  await fillSignIn(page, moderator);
  await page.check('input[name=EditFunction][value=Edit]');
  await page.click('input[type=submit][value="完 成 选 择"]');
  const options = await page.locator('select[name=ForumName] option').allInnerTexts();
  assert.deepEqual(options, [forum]);
  await page.click('input[type=submit][value="发 送 论 坛 选 择"]');
  await page.click('a:has-text("欢迎")');
  await page.check('input[name=EditSubject]');
  await page.click('input[type=submit][value="调 出 要 编 辑 的 消 息"]');
  await page.fill('input[name=NewSubject]', '欢迎新朋友');
  await page.click('input[type=submit][value="完 成 主 题 编 辑"]');
  assert.match(await page.innerText('body'), /主题更新完毕/);
  await openForum(page, board, forum);
  assert.ok(await page.locator('a[title="欢迎新朋友"]').count() > 0);
  await page.screenshot({ path: join(shots, 'panel-renamed-topic.png'), fullPage: true });
});

// A 1x1 PNG picture.
const picture = Buffer.from('iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAE'
  + 'hQGAhKmMIQAAAABJRU5ErkJggg==', 'base64');

test('the moderator uploads a picture into the folder the administrator gave him', async () => {
  const page = await board.context.newPage();
  const { base, shots } = board;
  await board.context.clearCookies();

  // The administrator gives the moderator an upload folder.
  await page.goto(`${base}admin/member.asp`);
  await fillSignIn(page, admin);
  await page.fill('input[name=NN]', moderator.name);
  await page.click('input[type=submit][value="获 得 用 户 信 息"]');
  // The member's link opens a window of its own: follow it in this one.
  const bio = await page.getAttribute(
    `a[href^="member.asp?action=getbio4admin"]:has-text("${moderator.name}")`, 'href');
  await page.goto(new URL(bio, page.url()).href);
  await page.fill('input[name=uploaddir]', 'keeper');
  await page.click('input[type=submit][value="重 新 设 置 此 用 户"]');
  assert.match(await page.innerText('body'), /用户资料更新结束/);

  // The moderator, in a fresh session, uploads a picture and opens it.
  await board.context.clearCookies();
  await page.goto(`${base}admin/upload.asp`);
  await fillSignIn(page, moderator, ['username', 'password']);
  await page.setInputFiles('input[name=image]',
    { name: 'dot.png', mimeType: 'image/png', buffer: picture });
  await page.click('input[type=submit][value="上传文件"]');
  assert.match(await page.innerText('body'), /文件 dot\.png 已经成功上传到keeper目录！/);
  await page.screenshot({ path: join(shots, 'panel-upload.png'), fullPage: true });
  const address = new URL(await page.getAttribute('a:has-text("dot.png")', 'href'), page.url());
  const answer = await page.goto(address.href);
  assert.equal(answer.headers()['content-type'], 'image/png');
  assert.deepEqual(await answer.body(), picture);
  assert.equal(await page.evaluate(() => document.images[0]?.naturalWidth), 1);
});
