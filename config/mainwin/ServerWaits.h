// What the configuration program does while it waits for a database server: it shows a busy
// cursor, keeps its windows painted and holds the user's input back until the wait ends; a stop
// request noted meanwhile is acted on at once.
#pragma once
#include <functional>

// `takeStopRequest` answers whether a stop was requested since it was last asked; `stop` acts
// on one (closes the main window as its close button does).
void InstallServerWaits(std::function<bool()> takeStopRequest, std::function<void()> stop);
