// Outgoing mail: MIME composition (GBK HTML, encoded-word headers), the SMTP transport through
// libcurl, the .eml outbox, and reading the outbox back.
#include "mail/mail.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string_view>

#include "frame/settings.h"
#include "runtime/convert.h"
#include "runtime/gbk.h"

namespace cb {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDirPrefix = "dir:";
constexpr size_t kEncodedWordMax = 75;  // longest encoded-word a header may carry
constexpr size_t kBase64Line = 76;      // longest body line in base64

// ---- Text checks ----

// Control characters (CR and LF above all) would end a header line and start another.
bool HasControl(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u < 0x20 && u != '\t') || u == 0x7f;
  });
}

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}

// local@domain in printable ASCII, without the characters that would end or split an address.
bool ValidAddress(std::string_view a) {
  size_t at = a.find('@');
  if (at == std::string_view::npos || at == 0 || at + 1 == a.size() || a.size() > 254 ||
      a.find('@', at + 1) != std::string_view::npos) {
    return false;
  }
  return std::all_of(a.begin(), a.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7f && std::strchr("<>()[],;:\"\\", c) == nullptr;
  });
}

// ---- Encodings ----

constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(std::string_view in) {
  std::string out;
  out.reserve((in.size() + 2) / 3 * 4);
  for (size_t i = 0; i < in.size(); i += 3) {
    uint32_t n = static_cast<unsigned char>(in[i]) << 16;
    if (i + 1 < in.size()) n |= static_cast<unsigned char>(in[i + 1]) << 8;
    if (i + 2 < in.size()) n |= static_cast<unsigned char>(in[i + 2]);
    out += kBase64Digits[(n >> 18) & 63];
    out += kBase64Digits[(n >> 12) & 63];
    out += i + 1 < in.size() ? kBase64Digits[(n >> 6) & 63] : '=';
    out += i + 2 < in.size() ? kBase64Digits[n & 63] : '=';
  }
  return out;
}

std::string Base64Lines(std::string_view in) {
  std::string b = Base64(in), out;
  for (size_t i = 0; i < b.size(); i += kBase64Line) out += b.substr(i, kBase64Line) + "\r\n";
  return out;
}

// Skips anything that is not a base64 digit (line breaks); stops at padding.
std::string Base64Decode(std::string_view in) {
  std::string out;
  uint32_t acc = 0;
  int bits = 0;
  for (char c : in) {
    if (c == '=') break;
    const char* p = std::strchr(kBase64Digits, c);
    if (p == nullptr || c == '\0') continue;
    acc = (acc << 6) | static_cast<uint32_t>(p - kBase64Digits);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((acc >> bits) & 0xff);
    }
  }
  return out;
}

// GBK is what the board writes, but a strict reader of a "gb2312" label refuses the characters
// only GBK has; labelling such text "gbk" keeps every reader right.
bool FitsGb2312(std::string_view utf8) {
  if (IsAscii(utf8)) return true;
  iconv_t cd = iconv_open("GB2312", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in(utf8), out(in.size() * 2 + 4, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && il == 0;
  iconv_close(cd);
  return ok;
}

bool FitsGbk(std::string_view utf8) { return GbkToUtf8(Utf8ToGbk(utf8)) == utf8; }

bool IsGbFamily(const std::string& charset) {
  return charset == "gb2312" || charset == "gbk" || charset == "gb18030";
}

bool IsUtf8Label(const std::string& charset) { return charset == "utf-8" || charset == "utf8"; }

struct EncodedText {
  std::string label;
  std::string bytes;
};

// The narrowest of gb2312, gbk for text that fits; UTF-8 for headers that GBK cannot hold.
EncodedText EncodeHeaderText(std::string_view utf8, bool utf8_mail) {
  if (utf8_mail || !FitsGbk(utf8)) return {"utf-8", std::string(utf8)};
  return {FitsGb2312(utf8) ? "gb2312" : "gbk", Utf8ToGbk(utf8)};
}

size_t CharLength(std::string_view bytes, size_t i, bool utf8) {
  unsigned char b = static_cast<unsigned char>(bytes[i]);
  size_t n = 1;
  if (utf8) {
    n = b >= 0xf0 ? 4 : b >= 0xe0 ? 3 : b >= 0xc0 ? 2 : 1;
  } else if (b >= 0x81) {
    n = 2;
  }
  return std::min(n, bytes.size() - i);
}

// Base64 encoded-words, split between characters and folded onto continuation lines.
std::string EncodedWords(std::string_view utf8, bool utf8_mail) {
  EncodedText t = EncodeHeaderText(utf8, utf8_mail);
  const std::string head = "=?" + t.label + "?B?";
  const size_t max_bytes = (kEncodedWordMax - head.size() - 2) / 4 * 3;
  const bool is_utf8 = t.label == "utf-8";
  std::string out;
  size_t start = 0;
  while (start < t.bytes.size()) {
    size_t end = start;
    while (end < t.bytes.size()) {
      size_t n = CharLength(t.bytes, end, is_utf8);
      if (end + n - start > max_bytes) break;
      end += n;
    }
    if (!out.empty()) out += "\r\n ";
    out += head + Base64(std::string_view(t.bytes).substr(start, end - start)) + "?=";
    start = end;
  }
  return out;
}

// Short ASCII text goes as it is; anything else as encoded-words, which also keep a long text
// on lines a mail server accepts.
bool Plain(std::string_view text) { return IsAscii(text) && text.size() <= 76; }

std::string HeaderText(std::string_view utf8, bool utf8_mail) {
  return Plain(utf8) ? std::string(utf8) : EncodedWords(utf8, utf8_mail);
}

std::string Mailbox(const std::string& name, const std::string& address, bool utf8_mail) {
  if (name.empty()) return address;
  if (!Plain(name)) return EncodedWords(name, utf8_mail) + " <" + address + ">";
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\" <" + address + ">";
}

// The clock gives local wall-clock time; the offset comes from the system's zone rules.
long UtcOffsetSeconds(int64_t local) {
  time_t t = static_cast<time_t>(local);
  std::tm tm{};
  if (gmtime_r(&t, &tm) == nullptr) return 0;
  tm.tm_isdst = -1;
  time_t real = mktime(&tm);
  return real == static_cast<time_t>(-1) ? 0 : static_cast<long>(local - real);
}

struct CivilTime {
  int year;
  unsigned month, day, weekday;  // weekday 0 = Sunday
  int hour, minute, second;
};

CivilTime Civil(const DateTime& t) {
  using namespace std::chrono;
  sys_seconds s{seconds{t.seconds()}};
  sys_days day = floor<days>(s);
  year_month_day ymd{day};
  hh_mm_ss hms{s - day};
  return {static_cast<int>(ymd.year()),           static_cast<unsigned>(ymd.month()),
          static_cast<unsigned>(ymd.day()),       weekday{day}.c_encoding(),
          static_cast<int>(hms.hours().count()),  static_cast<int>(hms.minutes().count()),
          static_cast<int>(hms.seconds().count())};
}

std::string DateHeader(const DateTime& now) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  CivilTime c = Civil(now);
  long off = UtcOffsetSeconds(now.seconds()) / 60;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02u %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[c.weekday],
                c.day, kMonths[c.month - 1], c.year, c.hour, c.minute, c.second,
                off < 0 ? '-' : '+', std::labs(off) / 60, std::labs(off) % 60);
  return buf;
}

std::string Hex(uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

// ---- SMTP through libcurl ----

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Upload {
  std::string_view data;
  size_t pos = 0;
};

size_t ReadUpload(char* buf, size_t size, size_t count, void* user) {
  auto* up = static_cast<Upload*>(user);
  size_t n = std::min(size * count, up->data.size() - up->pos);
  std::memcpy(buf, up->data.data() + up->pos, n);
  up->pos += n;
  return n;
}

// Keeps the server's first refusal (a 4xx or 5xx reply), for an error text that says what the
// server refused; the replies after it only close the conversation.
int KeepRefusal(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  auto* refusal = static_cast<std::string*>(user);
  if (type == CURLINFO_HEADER_IN && refusal->empty() && size > 0 &&
      (data[0] == '4' || data[0] == '5')) {
    *refusal = std::string(data, size);
  }
  return 0;
}

// Error texts reach pages as written: keep them to one line without markup characters.
std::string Printable(std::string_view s) {
  std::string out;
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f || std::strchr("<>&\"'", c) != nullptr) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  return std::string(TrimBlanks(out));
}

std::string SmtpUrl(const std::string& server) {
  if (StartsWithNoCase(server, "smtp://") || StartsWithNoCase(server, "smtps://")) return server;
  return "smtp://" + server;
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

}  // namespace

void InitMailLibrary() { InitCurlOnce(); }

// ---- The component ----

MailComponent::MailComponent(const Clock& clock, Random& random) : clock_(clock), random_(random) {}

bool MailComponent::Fail(std::string text) {
  error_ = std::move(text);
  return false;
}

bool MailComponent::Compose(std::string& message) {
  const std::string charset = ToLower(TrimBlanks(charset_.empty() ? "gb2312" : charset_));
  const bool utf8_mail = IsUtf8Label(charset);
  if (!utf8_mail && !IsGbFamily(charset)) return Fail("不支持的字符集：" + Printable(charset));
  std::string type = ToLower(TrimBlanks(content_type_.empty() ? "text/html" : content_type_));
  if (HasControl(type) || type.find('/') == std::string::npos || type.find(';') != type.npos) {
    return Fail("邮件内容类型无效");
  }
  if (!ValidAddress(from_address_)) return Fail("发件人地址无效");
  if (HasControl(from_name_)) return Fail("发件人名称不能含有换行或控制字符");
  if (HasControl(subject_)) return Fail("邮件主题不能含有换行或控制字符");
  if (!reply_to_.empty() && !ValidAddress(reply_to_)) return Fail("回复地址无效");
  if (recipients_.empty()) return Fail("没有收件人");
  for (size_t i = 0; i < recipients_.size(); ++i) {
    if (!ValidAddress(recipients_[i].address)) {
      return Fail("收件人地址无效（第" + std::to_string(i + 1) + "个收件人）");
    }
    if (HasControl(recipients_[i].name)) return Fail("收件人名称不能含有换行或控制字符");
  }

  std::string body_label = charset;
  std::string body_bytes = body_;
  if (!utf8_mail) {
    body_bytes = Utf8ToGbk(body_);
    if (charset == "gb2312" && !FitsGb2312(body_)) body_label = "gbk";
  }
  const DateTime now = clock_.Now();
  const std::string domain = from_address_.substr(from_address_.rfind('@') + 1);
  // Several recipients (a mass mail) must not see one another's addresses.
  const std::string to = recipients_.size() == 1
                             ? Mailbox(recipients_[0].name, recipients_[0].address, utf8_mail)
                             : "undisclosed-recipients:;";
  message = "Date: " + DateHeader(now) + "\r\n" +
            "From: " + Mailbox(from_name_, from_address_, utf8_mail) + "\r\n" +
            (reply_to_.empty() ? "" : "Reply-To: " + reply_to_ + "\r\n") + "To: " + to + "\r\n" +
            "Subject: " + HeaderText(subject_, utf8_mail) + "\r\n" + "Message-ID: <" +
            Hex(random_.Next64()) + "." + std::to_string(now.seconds()) + "@" + domain + ">\r\n" +
            "MIME-Version: 1.0\r\n" + "Content-Type: " + type + "; charset=" + body_label + "\r\n" +
            "Content-Transfer-Encoding: base64\r\n" + "\r\n" + Base64Lines(body_bytes);
  return true;
}

// ---- The transports ----

namespace {

// Mails may hold generated passwords: a new outbox is the board's alone (0700), and so is each
// mail (0600). An existing folder keeps the modes its operator gave it.
Outcome MakeOutbox(const std::string& dir) {
  std::error_code ec;
  fs::path path = fs::path(dir).lexically_normal();
  if (!path.has_filename()) path = path.parent_path();  // "outbox/"
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
  if (!ec && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    ec.assign(errno, std::generic_category());
  }
  if (!ec && !fs::is_directory(path, ec) && !ec) {
    ec = std::make_error_code(std::errc::not_a_directory);
  }
  if (!ec) return {};
  return Outcome::Failure("无法创建邮件文件夹（" + Printable(ec.message()) + "）");
}

// Writes to a hidden temporary file, then links it under a fresh name: a reader never sees a
// half-written mail, and an existing mail is never replaced.
}  // namespace

Outcome WriteMailFile(const std::string& dir, const std::string& text, const DateTime& now,
                      Random& random, std::string* written) {
  static std::atomic<unsigned> sequence{0};
  if (Outcome made = MakeOutbox(dir); !made) return made;
  const CivilTime c = Civil(now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02u%02u%02d%02d%02d", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
  for (int attempt = 0; attempt < 8; ++attempt) {
    char seq[16];
    std::snprintf(seq, sizeof seq, "%08u", sequence.fetch_add(1));
    const std::string name = std::string(stamp) + "-" + seq + "-" + Hex(random.Next64()).substr(8);
    const std::string tmp = (fs::path(dir) / ("." + name + ".tmp")).string();
    const std::string final_path = (fs::path(dir) / (name + ".eml")).string();
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return Outcome::Failure("无法写入邮件文件夹（" + Printable(std::strerror(errno)) + "）");
    }
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    bool ok = done == text.size() && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    int link_errno = 0;
    if (ok && ::link(tmp.c_str(), final_path.c_str()) != 0) link_errno = errno;
    ::unlink(tmp.c_str());
    if (ok && link_errno == 0) {
      if (written) *written = final_path;
      return {};
    }
    if (ok && link_errno == EEXIST) continue;
    return Outcome::Failure("无法写入邮件文件（" +
                            Printable(std::strerror(link_errno ? link_errno : EIO)) + "）");
  }
  return Outcome::Failure("无法为邮件文件取得唯一的名字");
}

OutboxTransport::OutboxTransport(std::string folder, const Clock& clock, Random& random)
    : folder_(std::move(folder)), clock_(clock), random_(random) {}

Outcome OutboxTransport::Deliver(const std::string& from,
                                 const std::vector<std::string>& recipients,
                                 const std::string& message) {
  std::string envelope = "X-Sender: " + from + "\r\n";
  for (const std::string& r : recipients) envelope += "X-Receiver: " + r + "\r\n";
  return WriteMailFile(folder_, envelope + message, clock_.Now(), random_);
}

SmtpTransport::SmtpTransport(std::string server, std::chrono::milliseconds connect_timeout,
                             std::chrono::milliseconds total_timeout)
    : server_(std::move(server)),
      connect_timeout_(connect_timeout),
      total_timeout_(total_timeout) {}

Outcome SmtpTransport::Deliver(const std::string& from, const std::vector<std::string>& recipients,
                               const std::string& message) {
  InitCurlOnce();
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return Outcome::Failure("无法创建邮件连接");
  std::unique_ptr<curl_slist, SlistDeleter> rcpt;
  for (const std::string& r : recipients) {
    curl_slist* next = curl_slist_append(rcpt.get(), ("<" + r + ">").c_str());
    if (next == nullptr) return Outcome::Failure("内存不足");
    rcpt.release();
    rcpt.reset(next);
  }
  const std::string url = SmtpUrl(server_);
  const std::string mail_from = "<" + from + ">";
  Upload upload{message};
  std::string refusal;
  char errbuf[CURL_ERROR_SIZE] = {0};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, mail_from.c_str());
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(c, CURLOPT_READDATA, &upload);
  curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect_timeout_.count()));
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(total_timeout_.count()));
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);  // pages send from worker threads
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
  curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);  // only feeds KeepRefusal; nothing is printed
  curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, KeepRefusal);
  curl_easy_setopt(c, CURLOPT_DEBUGDATA, &refusal);
  CURLcode rc = curl_easy_perform(c);
  if (rc == CURLE_OK) return {};
  const std::string detail = Printable(errbuf[0] ? errbuf : curl_easy_strerror(rc));
  switch (rc) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
      return Outcome::Failure("无法连接邮件服务器（" + detail + "）");
    case CURLE_OPERATION_TIMEDOUT:
      return Outcome::Failure("邮件服务器没有及时响应（" + detail + "）");
    default:
      return Outcome::Failure(!refusal.empty()
                                  ? "邮件服务器拒绝了邮件（" + Printable(refusal) + "）"
                                  : "邮件发送失败（" + detail + "）");
  }
}

std::shared_ptr<MailTransport> MailComponent::ChooseTransport() {
  if (transport_) return transport_;
  const std::string server(TrimBlanks(server_));
  if (server.empty()) {
    Fail("没有设置邮件服务器");
    return nullptr;
  }
  if (HasControl(server) || server.find(' ') != std::string::npos) {
    Fail("邮件服务器设置无效");
    return nullptr;
  }
  if (!StartsWithNoCase(server, kDirPrefix)) {
    return std::make_shared<SmtpTransport>(server, connect_timeout_, total_timeout_);
  }
  fs::path dir = fs::path(server.substr(kDirPrefix.size()));
  if (dir.is_relative() && !data_folder_.empty()) dir = fs::path(data_folder_) / dir;
  return std::make_shared<OutboxTransport>(dir.string(), clock_, random_);
}

bool MailComponent::Send() {
  try {
    error_.clear();
    const std::shared_ptr<MailTransport> transport = ChooseTransport();
    if (!transport) return false;
    // Addresses split from a list ("a@x.cn, b@y.cn") keep their blanks; they are no part of it.
    from_address_ = std::string(TrimBlanks(from_address_));
    reply_to_ = std::string(TrimBlanks(reply_to_));
    for (Recipient& r : recipients_) r.address = std::string(TrimBlanks(r.address));
    std::string message;
    if (!Compose(message)) return false;
    std::vector<std::string> addresses;
    for (const Recipient& r : recipients_) addresses.push_back(r.address);
    const Outcome sent = transport->Deliver(from_address_, addresses, message);
    return sent ? true : Fail(sent.reason());
  } catch (const std::exception& e) {
    return Fail("邮件发送失败（" + Printable(e.what()) + "）");
  } catch (...) {
    return Fail("邮件发送失败");
  }
}

namespace {

// A page that reports a mail's failure waits for it on its worker: a dead server costs the
// visitor a few seconds, not a minute.
constexpr std::chrono::seconds kPageMailConnect{3};
constexpr std::chrono::seconds kPageMailTotal{15};

// Hands each composed mail to the spool, to go through server later.
class SpoolTransport final : public MailTransport {
 public:
  SpoolTransport(MailSpool& spool, std::string server)
      : spool_(spool), server_(std::move(server)) {}
  Outcome Deliver(const std::string& from, const std::vector<std::string>& recipients,
                  const std::string& message) override {
    return spool_.Accept(server_, from, recipients, message);
  }

 private:
  MailSpool& spool_;
  std::string server_;
};

// The board's HTML mail through the transport given (null: the one the settings name).
bool SendBoardMail(const Settings& s, const Clock& clock, std::shared_ptr<MailTransport> transport,
                   const std::string& fromname, const std::string& fromaddress,
                   const std::string& toname, const std::string& toaddress,
                   const std::string& subject, const std::string& body, std::string& errortext,
                   const std::string& replyto) {
  try {
    MailComponent mail(clock);
    mail.Server(s.SmtpServer);
    mail.DataFolder(s.DataDir);
    mail.Transport(transport ? std::move(transport) : s.Transport);
    mail.Timeouts(kPageMailConnect, kPageMailTotal);
    mail.FromName(fromname);
    mail.FromAddress(fromaddress);
    mail.ReplyTo(replyto);
    mail.AddRecipient(toname, toaddress);
    mail.ContentType("text/html");
    mail.Charset("gb2312");
    mail.Subject(subject);
    mail.Body(
        "<html>"
        "<body>" +
        body + "</body></html>");
    if (mail.Send()) return true;
    errortext = mail.ErrorText();
  } catch (const std::exception& e) {
    errortext = "邮件发送失败（" + Printable(e.what()) + "）";
  } catch (...) {
    errortext = "邮件发送失败";
  }
  return false;
}

}  // namespace

bool SendMail(const Settings& s, const Clock& clock, const std::string& fromname,
              const std::string& fromaddress, const std::string& toname,
              const std::string& toaddress, const std::string& subject, const std::string& body,
              std::string& errortext, const std::string& replyto) {
  return SendBoardMail(s, clock, nullptr, fromname, fromaddress, toname, toaddress, subject, body,
                       errortext, replyto);
}

bool IsSmtpServer(std::string_view server) {
  server = TrimBlanks(server);
  return !server.empty() && !StartsWithNoCase(server, kDirPrefix);
}

bool SendNotice(const Settings& s, const Clock& clock, const std::string& fromname,
                const std::string& fromaddress, const std::string& toname,
                const std::string& toaddress, const std::string& subject, const std::string& body,
                std::string& errortext) {
  // Only a mail server can keep a page waiting; an outbox folder is written at once.
  std::shared_ptr<MailTransport> spool;
  if (s.Queue && !s.Transport && IsSmtpServer(s.SmtpServer)) {
    spool = std::make_shared<SpoolTransport>(*s.Queue, std::string(TrimBlanks(s.SmtpServer)));
  }
  return SendBoardMail(s, clock, std::move(spool), fromname, fromaddress, toname, toaddress,
                       subject, body, errortext, "");
}

// ---- Reading the outbox back ----

namespace {

std::string DecodeCharset(const std::string& bytes, const std::string& charset) {
  return IsGbFamily(ToLower(charset)) ? GbkToUtf8(bytes) : bytes;
}

// Undoes the B encoded-words this component writes; whitespace between two words goes.
std::string DecodeHeader(std::string_view v) {
  std::string out, pending_space;
  bool after_word = false;
  size_t i = 0;
  while (i < v.size()) {
    if (v.compare(i, 2, "=?") == 0) {
      size_t q1 = v.find('?', i + 2);
      size_t q2 = q1 == v.npos ? v.npos : v.find('?', q1 + 1);
      size_t end = q2 == v.npos ? v.npos : v.find("?=", q2 + 1);
      if (end != v.npos && ToLower(v.substr(q1 + 1, q2 - q1 - 1)) == "b") {
        std::string charset(v.substr(i + 2, q1 - i - 2));
        if (!after_word) out += pending_space;
        out += DecodeCharset(Base64Decode(v.substr(q2 + 1, end - q2 - 1)), charset);
        pending_space.clear();
        after_word = true;
        i = end + 2;
        continue;
      }
    }
    if (v[i] == ' ' || v[i] == '\t') {
      pending_space += v[i++];
      continue;
    }
    out += pending_space;
    pending_space.clear();
    out += v[i++];
    after_word = false;
  }
  return out + pending_space;
}

std::string Parameter(const std::string& header_value, const std::string& name) {
  std::string lower = ToLower(header_value);
  size_t p = lower.find(name + "=");
  if (p == std::string::npos) return {};
  std::string v = header_value.substr(p + name.size() + 1);
  v = v.substr(0, v.find(';'));
  v = std::string(TrimBlanks(v));
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return v;
}

OutboxMail ParseOutboxFile(const fs::path& path) {
  OutboxMail m;
  m.file = path.string();
  std::ifstream in(path, std::ios::binary);
  m.raw.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  size_t split = m.raw.find("\r\n\r\n");
  const std::string head = m.raw.substr(0, split);
  const std::string body = split == std::string::npos ? "" : m.raw.substr(split + 4);
  std::vector<std::pair<std::string, std::string>> headers;
  std::istringstream lines(head);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !headers.empty()) {
      headers.back().second += line;  // unfold
    } else if (size_t colon = line.find(':'); colon != std::string::npos) {
      headers.emplace_back(ToLower(line.substr(0, colon)), TrimBlanks(line.substr(colon + 1)));
    }
  }
  std::string transfer;
  for (const auto& [name, value] : headers) {
    if (name == "x-sender") m.envelope_from = value;
    if (name == "x-receiver") m.recipients.push_back(value);
    if (name == "from") m.from = DecodeHeader(value);
    if (name == "to") m.to = DecodeHeader(value);
    if (name == "subject") m.subject = DecodeHeader(value);
    if (name == "content-type") m.content_type = value;
    if (name == "content-transfer-encoding") transfer = ToLower(value);
  }
  m.body = DecodeCharset(transfer == "base64" ? Base64Decode(body) : body,
                         Parameter(m.content_type, "charset"));
  return m;
}

}  // namespace

std::vector<OutboxMail> ReadOutbox(const std::string& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    std::string name = p.filename().string();
    if (it->is_regular_file() && p.extension() == ".eml" && name[0] != '.') files.push_back(p);
  }
  std::sort(files.begin(), files.end());
  std::vector<OutboxMail> mails;
  for (const fs::path& p : files) mails.push_back(ParseOutboxFile(p));
  return mails;
}

}  // namespace cb
