// A member in a real browser: signs in on the profile page, changes his signature, finds it under
// the next topic he writes, and keeps that topic as a favourite.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { fillSignIn, newTopic, useBoard } from './harness.mjs';

const member = { name: 'signer', password: 'pw2024' };
const board = useBoard('members', ['SubmitInterval=0'], [member]);

test('a member changes his signature and sees it under his next post', async () => {
  const page = await board.context.newPage();
  const { base, shots } = board;

  // The page-top link leads to the sign-in form of the profile.
  await page.goto(base);
  await page.click('a[href="profile.asp"]');
  await fillSignIn(page.locator('form[name=chkUser]'), member);
  await page.click('input[type=submit][value="提交验证"]');

  // The edit form, filled from the member's row: the same password twice keeps it.
  const form = page.locator('form[name=frmFillOut]');
  assert.match(await page.innerText('body'), /请填写下表完成个人信息修改/);
  await form.locator('input[name=password]').fill(member.password);
  await form.locator('input[name=Password1]').fill(member.password);
  await form.locator('textarea[name=Signature]').fill('签名 [b]每天进步[/b]');
  await page.screenshot({ path: join(shots, 'profile-form.png'), fullPage: true });
  await form.locator('input[type=submit]').click();
  assert.match(await page.innerText('body'), /编辑用户资料成功/);

  // A new topic with the signature option left on: the signature below the post, converted.
  await newTopic(page, board, member, '签名测试', '看看我的签名');
  await page.click('a[title="签名测试"]:not([target])');
  const post = page.locator('td[valign=top]', { hasText: '看看我的签名' }).last();
  assert.match(await post.innerText(), /签名 每天进步/);
  assert.equal(await post.locator('b', { hasText: '每天进步' }).count(), 1);
  await page.screenshot({ path: join(shots, 'signature-under-post.png'), fullPage: true });

  // The favourite icon, its confirming form, and the list behind the page-top link.
  await page.click('img[alt="把本贴加入收藏夹"]');
  const favor = page.locator('form[name=chkUser]');
  await fillSignIn(favor, member);
  await favor.locator('input[type=submit]').click();
  assert.match(await page.innerText('body'), /该主题已被收藏/);
  await page.goto(base);
  await page.click('a[href="showFavor.asp"]');
  assert.equal(await page.locator('a', { hasText: '签名测试' }).count(), 1);
});
