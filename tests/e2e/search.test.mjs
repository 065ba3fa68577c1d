// A member in a real browser: writes a topic, finds it with a search word written in other
// letter case, opens it from the results, and meets it again in the function row's digests.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { join } from 'node:path';
import { binary, config, useBoard } from './harness.mjs';

const forum = '自由讨论';  // the forum a new board starts with
const member = { name: 'finder', password: 'pw2024' };
const subject = '搜索测试的话题';

const board = useBoard('search', ['SubmitInterval=0'], async ({ data }) => {
  execFileSync(binary, ['user', 'add', member.name, member.password, '--data', data,
    '--config', config], { stdio: 'pipe' });
});

test('a member searches a word and opens a result', async () => {
  const page = await board.context.newPage();
  const { base, shots } = board;
  await page.goto(base);
  await page.click(`a[href^="list.asp?GroupName="]:has-text("${forum}")`);
  await page.click('a[href^="posting.asp?action=newtopic"]');
  await page.fill('input[name=UserName]', member.name);
  await page.fill('input[name=Password]', member.password);
  await page.fill('input[name=TopicSubject]', subject);
  await page.fill('textarea[name=Message]', '我们在讨论 Corkboard 的全文搜索 100% 可用');
  await page.click('input[type=submit][value="发表新话题"]');
  await page.waitForURL(/list\.asp/i, { timeout: 10000 });

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

  // A wildcard is a character like any other: "0%" finds the topic, "0%可" does not.
  for (const [terms, found] of [['0% 可', 1], ['0%可', 0]]) {
    await page.goto(`${base}search.asp`);
    await page.fill('input[name=SearchTerms]', terms);
    await page.click('input[type=submit][value="执行搜索"]');
    assert.equal(await page.locator('a', { hasText: subject }).count(), found, terms);
  }

  // The function row of the index: today's topics and the digests list it too.
  for (const link of ['今天的话题', '最近25条贴子', '最热门25条贴子']) {
    await page.goto(base);
    await page.click(`a:has-text("${link}")`);
    assert.match(await page.innerText('body'), new RegExp(subject), link);
  }
});
