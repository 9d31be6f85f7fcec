#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace krellon {

// Runs an event handler of a window's control. An exception that escapes it (memory running
// out, say) ends in a message titled with the window's caption instead of ending the program
// with the user's unsaved work.
void RunHandler(QWidget* source, const std::function<void()>& handler);

// The caption a window's messages carry: the "messageTitle" property of source or the first
// of its parents that has one, else the window's title.
QString MessageTitle(QWidget* source);

}  // namespace krellon
