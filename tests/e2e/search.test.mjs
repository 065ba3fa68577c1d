// A member in a real browser: writes a topic, finds it with a search word written in other
// letter case, opens it from the results, and meets it again in the function row's digests.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { newTopic, useBoard } from './harness.mjs';

const member = { name: 'finder', password: 'pw2024' };
const subject = '搜索测试的话题';
const board = useBoard('search', ['SubmitInterval=0'], [member]);

test('a member searches a word and opens a result', async () => {
  const page = await board.context.newPage();
  const { base, shots } = board;
  await newTopic(page, board, member, subject, '我们在讨论 Corkboard 的全文搜索 100% 可用');

  // The navigation bar leads to the form; the word is typed in lower case.
  await page.goto(base);
  await page.click('a[href="search.asp"]');
  assert.match(await page.title(), /^搜索 - /);
  await page.fill('input[name=SearchTerms]', 'corkboard');
  await page.click('input[type=submit][value="执行搜索"]');
  assert.match(await page.innerText('body'), /搜索结果/);
  const result = page.locator('a[href^="newsdetail.asp?id="]', { hasText: subject });
  assert.equal(await result.count(), 1);
  await page.screenshot({ path: join(shots, 'search-results.png'), fullPage: true });
  await result.click();
  await page.waitForURL(/newsdetail\.asp\?id=\d+$/i, { timeout: 10000 });
  assert.match(await page.innerText('body'), /全文搜索 100% 可用/);

  // A "%" typed in the form reaches the search as a character (the rest: search_test).
  await page.goto(`${base}search.asp`);
  await page.fill('input[name=SearchTerms]', '0% 可');
  await page.click('input[type=submit][value="执行搜索"]');
  assert.equal(await page.locator('a', { hasText: subject }).count(), 1);

  // The function row of the index lists it too.
  await page.goto(base);
  await page.click('a:has-text("今天的话题")');
  assert.match(await page.innerText('body'), new RegExp(subject));
});
