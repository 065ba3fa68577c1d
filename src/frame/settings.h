// The board settings every page reads: filled from application variables (with a default for
// each missing one) by LoadSettings and LoadStyle, read again when those variables change.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace cb {

class Application;
struct Environment;
class MailSpool;
class MailTransport;

struct Settings {
  // LoadSettings, in reading order.
  bool MailOnReply = true;
  bool EMailRegister = true;
  std::string DSN = "Corkboard";
  std::string UserID = "sa";
  std::string Password;
  std::string ConnectionString;  // derived
  std::string UploadBaseDir;
  bool DisplayPostCount = false;
  std::string RejectiveIP;
  bool EMailCheck = true;
  int16_t SubmitInterval = 20;
  int16_t OnlineTime = 5;
  int16_t maxUser = 20;
  std::string SmtpServer;
  std::string BBURL;
  std::string BBEMail;
  std::string BBName = "Corkboard";
  int16_t DaysPruneDefault = 5;
  std::string Copyright;
  int16_t HotCount = 10;
  std::string NavBar;
  bool DisplayMemberTotal = true;
  int16_t PageSize = 20;
  bool DisplayRegistration = true;
  bool DisplayTopicSize = true;
  std::string GuestTitle;
  std::string BBSTYLE = "CBK";
  uint8_t PageStyle = 0;
  int16_t MemberMinimum = 30;

  // Not application variables: the environment's data folder and mail transport, set by the page
  // frame. A relative "dir:" outbox and a relative UploadBaseDir lie in the data folder; a
  // transport installed in the environment carries every mail in place of SmtpServer.
  std::string DataDir;
  std::shared_ptr<MailTransport> Transport;
  // Where notices wait to be sent in the background; null: they are sent at once.
  std::shared_ptr<MailSpool> Queue;

  // LoadStyle (attribute texts after LoadStyle where noted).
  std::string BBTitle;
  std::string BBTopic;
  std::string BBReply;
  std::string Logo;
  std::string BGColor;  // attribute text
  std::string TableBorderColor;
  std::string TableColorStrip;  // attribute text
  std::string TableStripTextColor;
  std::string TimeColor;
  std::string AltColumnColor1;     // attribute text
  std::string AltColumnColor2;     // attribute text
  std::string CategoryStripColor;  // attribute text
  std::string CategoryStripTextColor;
  std::string BBTitleFontColor;
  std::string TableWidth;
  std::string PageBackGround;    // attribute text
  std::string InnerTableWidth;   // derived
  std::string TableBorderStart;  // derived
  std::string TableBorderEnd;    // derived
};

// Raise ScriptError on a value that cannot be converted, before any page output.
void LoadSettings(const Application& app, Settings& s);
void LoadStyle(const Application& app, Settings& s);
// LoadSettings and LoadStyle, with the paths and mail of the environment, read again only when
// an application value changed since the last page (or the environment is another one).
std::shared_ptr<const Settings> PageSettings(const Application& app, const Environment& env);
// The defaults alone, one instance for every page.
const std::shared_ptr<const Settings>& DefaultSettings();

// The address mails link to when BBURL is not set: the listening address as a browser reaches
// it. A wildcard address (0.0.0.0, ::) stands for every address of the machine: its name is
// taken (127.0.0.1 without one). A public board sets BBURL.
std::string BoardUrlFor(std::string_view listen_host, uint16_t port, std::string_view machine_name);
// Sets BBURL from the listening address and this machine's name unless it is configured.
void DefaultBoardUrl(Application& app, std::string_view listen_host, uint16_t port);

// path as it stands when absolute, else inside the data folder.
std::string InDataFolder(const std::string& data_dir, const std::string& path);

// Built-in defaults of the keys whose default is this board's choice.
namespace defaults {
extern const char* const kSmtpServer;
extern const char* const kBBURL;
extern const char* const kBBEMail;
extern const char* const kCopyright;
extern const char* const kNavBar;
extern const char* const kUploadBaseDir;
}  // namespace defaults

}  // namespace cb
