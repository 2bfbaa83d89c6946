// What the configuration program does while it waits for a database server: it shows a busy
// cursor and keeps its windows painted; the user's clicks and keys meanwhile are dropped, and a
// window the window manager asks to close is closed once the wait ends (after a box shown in front
// of it is answered). A stop request noted meanwhile is acted on at once.
#pragma once
#include <functional>

// `takeStopRequest` answers whether a stop was requested since it was last asked; `stop` acts
// on one (closes the main window as its close button does).
void InstallServerWaits(std::function<bool()> takeStopRequest, std::function<void()> stop);
