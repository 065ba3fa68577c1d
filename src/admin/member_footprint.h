// Everything of the board that names a member: the statements that remove a member with what he
// wrote, and those that rename him in every table. Both lists are data, so that tests can hold
// them against the schema.
#pragma once

#include <string>
#include <vector>

namespace cb {

class Connection;

// A table column that holds a member's name.
struct NameColumn {
  const char* table;
  const char* column;
};
// Every column a rename rewrites, in the order it runs.
const std::vector<NameColumn>& MemberNameColumns();

// The statements that delete member (a name as stored) with everything he wrote: his account,
// his moderator rows, his topics with their replies and his replies, his private messages sent
// and received, favourites, subscriptions, ignore lists, announcements and archived posts.
std::vector<std::string> MemberDeleteStatements(const std::string& member);
// The statements that rename old_name to new_name in every column of MemberNameColumns.
std::vector<std::string> MemberRenameStatements(const std::string& old_name,
                                                const std::string& new_name);

// Runs the statements and rewrites the moderator links of the forums the member moderated. The
// caller has checked the names and holds the transaction.
void DeleteMember(Connection& con, const std::string& member);
void RenameMember(Connection& con, const std::string& old_name, const std::string& new_name);

}  // namespace cb
