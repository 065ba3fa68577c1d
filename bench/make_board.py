#!/usr/bin/env python3
"""Fills a board database for the page benchmark: 20 forums, 100,000 topics, 1,000,000 replies,
5,000 members, and one topic of 10,000 replies in the largest forum. The database must already
hold the board's schema (bench/run.sh creates it with `corkboard user add`). Counters are written
as the store's triggers would have left them; those triggers are set aside during the load only.
The search index's triggers stay: they index every post as the board itself would.

Usage: bench/make_board.py DATABASE [--now "YYYY-MM-DD HH:MM:SS"]
Prints the big topic's postid and the large forum's name."""

import datetime
import random
import sqlite3
import sys

FORUMS = 20
TOPICS = 100_000
REPLIES = 1_000_000
MEMBERS = 5_000
BIG_THREAD = 10_000
LARGE_FORUM_SHARE = 0.2  # forum 1 holds a fifth of the topics

WORDS = ['今天', '天气', '不错', '大家', '讨论', '一下', '这个', '问题', '我觉得', '应该',
         '论坛', '朋友', '谢谢', '支持', '同意', '看法', '有意思', '欢迎', '分享', '经验']


def text(rng, n):
    return ''.join(rng.choice(WORDS) for _ in range(n))


def main():
    db = sys.argv[1]
    now = datetime.datetime.now().replace(microsecond=0)
    if '--now' in sys.argv:
        now = datetime.datetime.strptime(sys.argv[sys.argv.index('--now') + 1], '%Y-%m-%d %H:%M:%S')
    rng = random.Random(7)
    con = sqlite3.connect(db)
    con.execute('PRAGMA journal_mode=WAL')
    con.execute('PRAGMA synchronous=OFF')
    con.execute('PRAGMA cache_size=-1000000')  # 1 GB: index upkeep stays in memory
    saved = con.execute(
        "SELECT name, sql FROM sqlite_master WHERE type='trigger' AND tbl_name IN "
        "('post','register') AND name NOT LIKE '%search%'").fetchall()
    for name, _ in saved:
        con.execute('DROP TRIGGER ' + name)

    def ts(d):
        return d.strftime('%Y-%m-%d %H:%M:%S')

    members = ['user%04d' % i for i in range(1, MEMBERS + 1)]
    forums = ['论坛%02d' % i for i in range(1, FORUMS + 1)]
    large = forums[0]

    # Topics: times over the last year; the big thread is the newest topic of the large forum.
    topics = []  # [forum, author, subject, message, posttime]
    for i in range(TOPICS - 1):
        forum = large if rng.random() < LARGE_FORUM_SHARE else rng.choice(forums[1:])
        t = now - datetime.timedelta(seconds=rng.randrange(365 * 86400))
        topics.append([forum, rng.choice(members), text(rng, 4), text(rng, 30), t])
    topics.sort(key=lambda r: r[4])
    topics.append([large, members[0], '一万个回复的话题', text(rng, 30),
                   now - datetime.timedelta(days=3)])
    big = len(topics)  # its postid: topics are inserted first, in this order

    # Replies: the big thread's, then the rest spread over the topics, each after its topic.
    reply_of = [big] * BIG_THREAD + [rng.randrange(1, big) for _ in range(REPLIES - BIG_THREAD)]
    replies = []
    for parent in reply_of:
        start = topics[parent - 1][4]
        span = max(1, int((now - start).total_seconds()))
        replies.append((parent, start + datetime.timedelta(seconds=rng.randrange(span))))
    replies.sort(key=lambda r: (r[0] != big, r[1]))  # the big thread's replies stay together

    postcount = dict.fromkeys(members, 0)
    stats = {}  # topic -> [count, last time, last user]
    reply_rows = []
    for parent, t in replies:
        user = rng.choice(members)
        postcount[user] += 1
        s = stats.setdefault(parent, [0, None, None])
        s[0] += 1
        if s[1] is None or t >= s[1]:
            s[1], s[2] = t, user
        reply_rows.append((parent, topics[parent - 1][0], user, 'Re', text(rng, 12), ts(t)))

    forum_stats = {f: [0, 0, None, None] for f in forums}
    topic_rows = []
    for n, (forum, author, subject, message, t) in enumerate(topics, start=1):
        postcount[author] += 1
        count, last, last_user = stats.get(n, [0, t, author])
        topic_rows.append((forum, author, subject, message, ts(t), count, ts(last), last_user,
                           rng.randrange(1, 15), rng.randrange(1000)))
        fs = forum_stats[forum]
        fs[0] += 1
        fs[1] += count
        if fs[2] is None or last >= fs[2]:
            fs[2], fs[3] = last, last_user

    with con:
        con.executemany(
            'INSERT INTO register (username,password,email,emailview,postcount,signdate,canpost) '
            'VALUES (?,?,?,1,?,?,1)',
            [(m, 'pw', m + '@example.com', postcount[m], ts(now - datetime.timedelta(days=400)))
             for m in members])
        con.executemany(
            'INSERT INTO forum (forumname,descript,catalog,sequence,topiccount,replycount,'
            'lastposttime,lastpostusername,forummaster) VALUES (?,?,?,?,?,?,?,?,?)',
            [(f, '测试论坛 %d' % i, '分区%d' % (i % 4 + 1), i, s[0], s[1],
              ts(s[2]) if s[2] else None, s[3], '诚征版主')
             for i, (f, s) in enumerate(forum_stats.items(), start=1)])
        con.executemany(
            'INSERT INTO post (forumname,username,subject,message,posttime,replycount,'
            'lastreplyposttime,lastreplyusername,icon,hits,status,usesign,smiles,'
            'emailnotification,ip) VALUES (?,?,?,?,?,?,?,?,?,?,\'open\',0,1,0,\'127.0.0.1\')',
            topic_rows)
        con.executemany(
            'INSERT INTO post (parentid,forumname,username,subject,message,posttime,icon,status,'
            'usesign,smiles,emailnotification,ip) VALUES (?,?,?,?,?,?,1,\'open\',0,1,0,'
            '\'127.0.0.1\')', reply_rows)
    for _, sql in saved:
        con.execute(sql)
    con.commit()
    con.execute('PRAGMA wal_checkpoint(TRUNCATE)')
    con.close()
    print(big, large)


if __name__ == '__main__':
    main()
