// What the remote-access service knows about a phone-book entry's link. Its
// library (rasapi32.dll) is loaded from the system folder on the first
// question, never before: most starts never ask.
#pragma once
#include <string>

namespace plat {

enum class LinkState { Up, Down, Unknown };

// Up when a connection of that entry name (compared without regard to case)
// is fully connected; Down when the service lists none that is; Unknown when
// the service cannot be asked or does not answer.
LinkState RasEntryLinkState(const std::wstring& entry);

}  // namespace plat
