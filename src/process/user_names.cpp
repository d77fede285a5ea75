#include "process/user_names.h"

#include <pwd.h>

#include "process/visible_text.h"

const std::string& UserNames::nameOf(uid_t uid) {
    auto [entry, added] = names.try_emplace(uid);
    if (added) {
        const passwd* account = getpwuid(uid);
        entry->second = account != nullptr ? visEncode(account->pw_name) : std::to_string(uid);
    }
    return entry->second;
}
