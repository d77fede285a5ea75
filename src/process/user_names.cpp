#include "process/user_names.h"

#include <pwd.h>

#include <unordered_map>

const std::string& userNameOf(uid_t uid) {
    static std::unordered_map<uid_t, std::string> names;
    auto [entry, added] = names.try_emplace(uid);
    if (added) {
        const passwd* account = getpwuid(uid);
        entry->second = account != nullptr ? account->pw_name : std::to_string(uid);
    }
    return entry->second;
}
