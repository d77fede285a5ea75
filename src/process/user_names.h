// User names for the label's user decoration.
#pragma once

#include <sys/types.h>

#include <string>
#include <unordered_map>

// The names of the users that labels show, each looked up and encoded once.
class UserNames {
  public:
    // The password-database name of `uid`, or the uid in decimal when it
    // has no entry. A name comes from the user database, which a directory
    // service may fill: it is encoded (visEncode) like every other text, in
    // the locale in force at its first look-up.
    const std::string& nameOf(uid_t uid);

  private:
    std::unordered_map<uid_t, std::string> names;
};
