// What the remote-access service knows about a phone-book entry's link. Its
// library (rasapi32.dll) is loaded from the system folder on the first
// question, never before: most starts never ask.
#pragma once
#include <windows.h>

#include <string>

// The remote-access records, as <ras.h> declares them.
struct tagRASCONNW;
struct tagRASCONNSTATUSW;
struct HRASCONN__;

namespace plat {

enum class LinkState { Up, Down, Unknown };

// Up when a connection of that entry name (compared without regard to case)
// is fully connected; Down when the service lists none that is; Unknown when
// the service cannot be asked or does not answer.
LinkState RasEntryLinkState(const std::wstring& entry);

// Tests only: the two calls of the service's library (RasEnumConnectionsW,
// RasGetConnectStatusW) in place of the system's; nulls put those back.
using RasEnumConnectionsFunction = DWORD(WINAPI*)(tagRASCONNW*, DWORD*, DWORD*);
using RasGetConnectStatusFunction = DWORD(WINAPI*)(HRASCONN__*, tagRASCONNSTATUSW*);
void SetRasFunctions(RasEnumConnectionsFunction enumConnections, RasGetConnectStatusFunction getConnectStatus);

}  // namespace plat
