// Resource identifiers of the updater.
#pragma once

#define IDI_UPDATER 1
