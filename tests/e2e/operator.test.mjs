// What an operator relies on after a registration on the running server: the mail lands in the
// outbox of the --data folder (a relative dir: path), readable by the board's user only, and
// links to the listening address when BBURL is not set.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readdirSync, readFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { useBoard } from './harness.mjs';

const board = useBoard('operator', ['EMailRegister=true', 'SmtpServer=dir:outbox']);

test('the registration mail is private, in the data folder, and links to the board', async () => {
  const page = await board.context.newPage();
  await page.goto(`${board.base}signup.asp`);
  await page.click('input[name=Submit][value="同意"]');
  await page.fill('input[name=UserName]', 'operator1');
  await page.fill('input[name=Email]', 'op@example.com');
  await page.click('input[type=submit][value="提交"]');
  assert.match(await page.innerText('body'), /operator1 您好/);

  const outbox = join(board.data, 'outbox');
  const mails = readdirSync(outbox).filter((f) => f.endsWith('.eml'));
  assert.equal(mails.length, 1);
  assert.equal(statSync(outbox).mode & 0o777, 0o700);
  assert.equal(statSync(join(outbox, mails[0])).mode & 0o777, 0o600);

  const raw = readFileSync(join(outbox, mails[0]), 'latin1');
  const base64 = raw.slice(raw.indexOf('\r\n\r\n') + 4).replace(/\s+/g, '');
  const body = new TextDecoder('gbk').decode(Buffer.from(base64, 'base64'));
  assert.ok(body.includes(`<a href=${board.base}>`), body);
});
